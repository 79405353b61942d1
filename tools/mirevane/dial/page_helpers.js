// What the dial page's script and the studio page's script both use: HTML and SVG elements made
// with their attributes and text. CMake puts this file before each page's own script, so that
// each page stays one self-contained file under its content policy.
"use strict";
/* exported mirevanePage */
const mirevanePage = (() => {
  const svgNamespace = "http://www.w3.org/2000/svg";
  const filled = (e, attributes, text) => {
    for (const [k, v] of Object.entries(attributes || {})) e.setAttribute(k, v);
    if (text !== undefined) e.textContent = text;
    return e;
  };
  return {
    element: (tag, attributes, text) => filled(document.createElement(tag), attributes, text),
    svgElement: (tag, attributes, text) =>
      filled(document.createElementNS(svgNamespace, tag), attributes, text),
  };
})();
