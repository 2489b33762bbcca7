// What the page holds between frames: the last frame's state, the document it shows and what the
// user is doing with the page; and the counts of what it has shown, for the page's benchmark.

export const page = {
  state: null,        // the last frame's state
  seq: 0,             // its number, and the number of its document
  frameDocument: 0,
  selection: { selected: [], shapePaths: [] },  // the selected shapes, and each shape's path art
  documentNumber: 0,  // the document the page shows
  documentLoading: 0,
  shapeData: [],      // each shape's path data as the last frame that changed it gave it
  shapeVersion: [],   // which version of it came last
  versions: 0,        // versions given so far
  appliedVersion: [], // the version each shape's element and outline show
  markVersion: [],
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
};

// What the page has shown: frames painted, and for each event sent, how long until a frame that
// took it in was painted (milliseconds); and where its time went.
export const stats = {
  framesPainted: 0, framesReceived: 0, sent: 0, sentAt: [], latencies: [], takenIn: 0,
  // Where the page's time goes: reading frames, and making the document's elements from them.
  bytesReceived: 0, receiveMs: 0, renderMs: 0,
};
