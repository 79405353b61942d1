#include "dial/dial_options.h"

#include "dial/angle_convention.h"

namespace mirevane::tool {

void AddAnglesOption(CLI::App* command, std::string& angles) {
    command
        ->add_option("--angles", angles,
                     std::string("The dials: angle 0's direction and the way angles grow, ") +
                         AngleConvention::kHelp + " (default " + AngleConvention::kDefault + ").")
        ->type_name("ZERO-SENSE");
}

void AddDialOptions(CLI::App* command, DialPageRequest& page) {
    command
        ->add_option("--dial", page.faces,
                     "A picture of gauge GAUGE's real dial under its needles on the page; hub "
                     "and radius in pixels.")
        ->type_name("GAUGE=image.png,cx,cy,r")
        ->allow_extra_args(false);
    AddAnglesOption(command, page.angles);
}

} // namespace mirevane::tool
