// The lint of the tool's page scripts (scripts/page-scripts, in make test): classic scripts
// the tool writes inline into its pages, run by the browser.
"use strict";
const js = require("@eslint/js");
const globals = require("globals");

module.exports = [
  js.configs.recommended,
  {
    files: ["tools/mirevane/**/*.js"],
    languageOptions: {
      ecmaVersion: 2022,
      sourceType: "script",
      globals: { ...globals.browser },
    },
    linterOptions: { reportUnusedDisableDirectives: "error" },
    rules: {
      // A function a reader can hold in mind; the wrapper that keeps a page's names private
      // (an immediately called function) is not one.
      "max-lines-per-function": ["error", { max: 80, IIFEs: false }],
      eqeqeq: "error",
      "no-var": "error",
      "prefer-const": "error",
    },
  },
];
