// The page's elements, found by id, and the namespace of the SVG elements the page makes.

export const SVG_NS = 'http://www.w3.org/2000/svg';
export const $ = (id) => document.getElementById(id);

// The run's token, from the page's address: every request to the host carries it (in its
// address, which also suits images and downloads), and nothing else does.
const token = new URLSearchParams(location.search).get('token') || '';
export const api = (path) => `${path}${path.includes('?') ? '&' : '?'}token=${encodeURIComponent(token)}`;
