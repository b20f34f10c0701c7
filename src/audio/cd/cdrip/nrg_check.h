#pragma once

#include <string>

#include "image_layout.h"

namespace sonfeld::cdrip {

// libcdio follows an NRG image's footer and chunks without checking them and
// crashes on many a broken or merely unusual one (CD-TEXT, short cue chunks,
// more tracks in one chunk than in the next). So only the plain layouts are
// let through: one session, written at once (CUEX/DAOX, or CUES/DAOI in the
// old format) or a single track written on its own (ETN2, or ETNF), with
// optional SINF and MTYP chunks, every chunk's size matching its contents and
// every track lying inside the file. Returns an empty text when the image is
// such (or, unless footerRequired, when the file has no Nero footer at all),
// with layout set to its table of contents; otherwise the reason.
std::string CheckNrgStructure(const std::string& path, bool footerRequired, ImageLayout& layout);

bool HasNrgExtension(const std::string& path);

} // namespace sonfeld::cdrip
