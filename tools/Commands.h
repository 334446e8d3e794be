#pragma once

#include <CLI/CLI.hpp>

// Each subcommand of the ktrt tool registers itself on the application with
// one of these functions. The callback stores the process exit status in
// `status`.
namespace ktrt_tool {

} // namespace ktrt_tool
