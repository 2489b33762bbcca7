// The page's elements, found by id, and the namespace of the SVG elements the page makes.

export const SVG_NS = 'http://www.w3.org/2000/svg';
export const $ = (id) => document.getElementById(id);
