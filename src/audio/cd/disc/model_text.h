#pragma once

#include <optional>
#include <string>

#include "disc_model.h"

namespace sonfeld::disc {

// The model as UTF-8 lines, the form it crosses the CD library's C interface
// in. ParseModelText returns nullopt for text that is not a complete model.
std::string ModelToText(const DiscModel& model);
std::optional<DiscModel> ParseModelText(const std::string& text);

} // namespace sonfeld::disc
