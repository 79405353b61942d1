#include "common/fps_option.h"

#include <locale>
#include <sstream>

namespace mirevane::tool {

void FpsOption::AddTo(CLI::App* command) {
    option_ = command
                  ->add_option("--fps", fps_,
                               "Treat rows as key frames and generate N frames per second "
                               "(0 < N <= 1000).")
                  ->type_name("N")
                  ->check(CLI::Validator(
                      [](std::string& text) -> std::string {
                          double n = 0.0;
                          std::istringstream in(text);
                          in.imbue(std::locale::classic());
                          in >> n;
                          const bool whole = !in.fail() && (in >> std::ws).eof();
                          return whole && n > 0.0 && n <= 1000.0
                                     ? ""
                                     : "'" + text + "' is not a number above 0 and at most 1000";
                      },
                      ""));
}

std::optional<double> FpsOption::value() const {
    return option_ != nullptr && option_->count() > 0 ? std::optional<double>(fps_) : std::nullopt;
}

} // namespace mirevane::tool
