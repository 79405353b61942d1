#include "reference/commands.h"

#include "common/diagnostics.h"
#include "common/nearest_name.h"
#include "reference/docs.h"
#include "reference/oval_dial.h"

#include <iostream>
#include <memory>

namespace mirevane::tool {
namespace {

int Explain(const std::string& code) {
    const DiagnosticKind* kind = FindDiagnostic(code);
    if (kind == nullptr) {
        std::vector<std::string> codes;
        for (const DiagnosticKind& each : Diagnostics()) {
            codes.push_back(each.code);
        }
        const std::string near = NearestName(code, codes);
        std::cerr << "mirevane explain: error: no diagnostic is called '" << code << "'"
                  << (near.empty() ? "" : ": did you mean '" + near + "'?")
                  << " (docs/tool.md lists them all)\n";
        return 2;
    }
    std::cout << ExplainText(*kind);
    return 0;
}

int Docs(const std::string& page) {
    std::cout << (page == "configuration" ? ConfigurationReference()
                  : page == "oval-figure" ? OvalDialFigure()
                  : page == "diagnostics" ? DiagnosticsReference()
                                          : RunDiagnosticsReference());
    return 0;
}

} // namespace

Subcommand AddExplainSubcommand(CLI::App& app) {
    const auto code = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand("explain", "Explain a diagnostic of check or run: what "
                                                      "causes it, an example and the fix.");
    command
        ->add_option("CODE", *code,
                     "The code in brackets after a diagnostic, e.g. "
                     "unknown-key.")
        ->required();
    return {command, [code] { return Explain(*code); }};
}

Subcommand AddDocsSubcommand(CLI::App& app) {
    const auto page = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand("docs", "Print a reference page generated from the "
                                                   "plug-in's own tables (make docs writes them "
                                                   "into docs/).");
    command
        ->add_option("PAGE", *page,
                     "configuration: the settings reference; oval-figure: its figure of an "
                     "oval dial (SVG); diagnostics: every diagnostic of check; "
                     "run-diagnostics: those of run.")
        ->required()
        ->check(CLI::IsMember({"configuration", "oval-figure", "diagnostics", "run-diagnostics"}));
    return {command, [page] { return Docs(*page); }};
}

} // namespace mirevane::tool
