#include "reference/commands.h"

#include "common/nearest_name.h"

#include "common/diagnostics.h"
#include "reference/docs.h"
#include "reference/oval_dial.h"

#include <iostream>

namespace mirevane::tool {

ReferenceCommands::ReferenceCommands(CLI::App& app)
    : explain_(app.add_subcommand("explain", "Explain a diagnostic of check or run: what "
                                             "causes it, an example and the fix.")),
      docs_(app.add_subcommand("docs", "Print a reference page generated from the plug-in's "
                                       "own tables (make docs writes them into docs/).")) {
    explain_
        ->add_option("CODE", code_,
                     "The code in brackets after a diagnostic, e.g. "
                     "unknown-key.")
        ->required();
    docs_
        ->add_option("PAGE", page_,
                     "configuration: the settings reference; oval-figure: its figure of an "
                     "oval dial (SVG); diagnostics: every diagnostic of check; "
                     "run-diagnostics: those of run.")
        ->required()
        ->check(CLI::IsMember({"configuration", "oval-figure", "diagnostics", "run-diagnostics"}));
}

bool ReferenceCommands::Parsed() const {
    return explain_->parsed() || docs_->parsed();
}

int ReferenceCommands::Run() const {
    if (docs_->parsed()) {
        std::cout << (page_ == "configuration" ? ConfigurationReference()
                      : page_ == "oval-figure" ? OvalDialFigure()
                      : page_ == "diagnostics" ? DiagnosticsReference()
                                               : RunDiagnosticsReference());
        return 0;
    }
    const DiagnosticKind* kind = FindDiagnostic(code_);
    if (kind == nullptr) {
        std::vector<std::string> codes;
        for (const DiagnosticKind& each : Diagnostics()) {
            codes.push_back(each.code);
        }
        const std::string near = NearestName(code_, codes);
        std::cerr << "mirevane explain: error: no diagnostic is called '" << code_ << "'"
                  << (near.empty() ? "" : ": did you mean '" + near + "'?")
                  << " (docs/tool.md lists them all)\n";
        return 2;
    }
    std::cout << ExplainText(*kind);
    return 0;
}

} // namespace mirevane::tool
