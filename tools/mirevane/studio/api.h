// The studio's requests, apart from HTTP: a method, a path and a JSON body in, a status and a
// JSON body out. Everything the page can ask is here, checked field by field, so that a
// hostile or broken request gets a 4xx with a clear message and changes nothing.
//
//   GET  /api/view                          the view (Session::View)
//   GET  /api/picture?name=NAME             a picture the panel file names NAME, as the host
//                                           draws it, in PNG (Session::ServePicture)
//   POST /api/edit   {"gauge", "section", "key", "value": text or null}    a setting
//   POST /api/edit   {"gauge", "rows": [[value, angle], ...] or null}      a table
//   POST /api/save   {"replaceBackups": bool}   {"saved", "written", "conflicts",
//                                                "backupsInTheWay", "view"}
//   POST /api/reload {}                         the files read again, edits dropped
//   POST /api/angle  {"gauge", "x", "y", "near"} {"angle"}: the table angle drawn through
//                                                the point of the dial
//   POST /api/calibrate {"gauge", "hub": [x, y], "marks": [[value, x, y], ...],
//                        "rim": [[x, y], ...]}  Session::Calibrate: angles for the marks of a
//                                                dial picture, the ellipse of its rim; with
//                        "panel": true, on the panel's picture (no hub: the needle's)
//   POST /api/face {"gauge", "picture": data:image/png or image/jpeg base64 URI, "width",
//                   "height", "hub": [x, y], "radius"}   the picture drawn under the gauge's
//                                                needles in the run, as --dial; the view
// An edit, a save and a reload answer with the new view.
#pragma once

#include <string>

namespace mirevane::tool {

class Session;

struct ApiReply {
    int status = 200;
    std::string body; // JSON, or a picture's bytes
    std::string type = "application/json; charset=utf-8";
};

// target: the path as the request line has it, with its query.
ApiReply HandleApi(Session& session, const std::string& method, const std::string& target,
                   const std::string& body);

} // namespace mirevane::tool
