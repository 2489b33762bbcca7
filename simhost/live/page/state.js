// What the page holds between frames: the last frame's state, the document it shows and what the
// user is doing with the page; and the counts of what it has shown, for the page's benchmark.

export const page = {
  state: null,        // the last frame's state
  documentNumber: 0,  // the document the page shows
  documentLoading: 0,
  shapeData: [],      // path data by shape, as the frames gave it
  shapeElements: [],  // the <path data-shape> elements of the document shown
  urlsSeen: -1,       // web addresses the plug-in asked for, opened so far
  pendingTab: null,   // a tab opened by "Visit website", waiting for its address
  messagesSeen: -1,
  panelDrag: null,
  spaceHeld: false,
  viewDrag: null,
  pointerDown: false,
  ended: false,
  frameArrived: false,
  markData: [],
};

// What the page has shown: frames painted, and for each event sent, how long until a frame that
// took it in was painted (milliseconds).
export const stats = { framesPainted: 0, framesReceived: 0, sent: 0, sentAt: [], latencies: [], takenIn: 0 };
