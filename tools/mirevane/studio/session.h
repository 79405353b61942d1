// The studio's engine: the workspace, the scenario, and one run of both through the
// plug-in's own Load and Elapse after every edit. Everything the page shows comes from here
// as JSON: the gauges with their settings and tables as written, the check's diagnostics of
// the edited cab, each damped needle's step response, and the dial page of the run.
#pragma once

#include "calibrate/calibration.h"
#include "check/check.h"
#include "dial/geometry.h"
#include "dial/page.h"
#include "panel/panel_discovery.h"
#include "replay/scenario.h"
#include "studio/served_pictures.h"
#include "workspace/workspace.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace mirevane::tool {

struct StudioOptions {
    std::string argument;   // PATH as given, for messages
    std::string pluginPath; // the path the host would hand the plug-in
    std::string scenario;   // empty: a sweep of every quantity over its gauges' tables
    std::optional<double> fps;
    DialPageRequest page; // --dial, --angles
    PanelOptions panel;   // --panel, --no-panel
};

class Session {
public:
    // Reads the cab, the scenario and the dial pictures; throws InputError.
    explicit Session(const StudioOptions& options);

    // The whole view of the cab as edited now (format in the .cpp); the dial page of the run
    // as a whole page too when `wholePage`, else only its parts that a run changes.
    nlohmann::json View(bool wholePage);
    // The table angle whose needle the dial draws through (x, y) of gauge's dial picture
    // (the page's dial units, hub at 0,0), nearest to the table angle `near`.
    double TableAngleAt(int gauge, double x, double y, double near) const;

    // Calibration from a dial picture (pixels, x right, y down), as `mirevane calibrate`
    // makes it: for each mark the table angle that draws the needle through it, the image
    // that shows it and the direction the host draws it in on the picture; the sense taken,
    // the table the marks make with the gauge's present one, refusals and warnings; with five
    // or more rim points the ellipse about the hub that fits them (format in the .cpp).
    // onPanel: the marks are on the panel's picture, and the gauge's needle in the panel file
    // gives the hub and the convention (request.hub is not read), as `calibrate --panel`.
    nlohmann::json Calibrate(int gauge, CalibrationRequest request, bool onPanel) const;

    // A picture the panel file names, as the page draws it (ServedPictures).
    ServedPicture ServePicture(const std::string& name) { return pictures_.Serve(name); }

    // The picture drawn under gauge's needles on the dial page of the run from now on, as
    // --dial draws one; the cab is not changed. Answers with the new view.
    nlohmann::json ShowFace(int gauge, DialFace face);

    Workspace& workspace() noexcept { return workspace_; }

private:
    // The gauge's dial as the last run built it; throws EditRefused for no such gauge.
    const DialGeometry& DialOf(int gauge) const;
    // How the run's dial page turns the gauge's dial: as its needle in the panel turns, or by
    // --angles (the gauge checked by DialOf first).
    AngleConvention ConventionOf(int gauge) const;

    StudioOptions options_;
    PanelChoice panelChoice_;
    PanelReading panelReading_; // the panel as every edit's check reads it, read once
    ServedPictures pictures_;   // holds the panel file read, if any
    Workspace workspace_;
    Scenario scenario_;
    DialPageContent page_;
    std::vector<DialGeometry> dials_;           // of the last run, for DialOf
    std::vector<std::vector<int32_t>> entries_; // each gauge's panel entries, of the last run
};

} // namespace mirevane::tool
