#pragma once

namespace pw::comics {

// Every catalogue address in Comics.urls starts with the comic site's base; the home
// page is what Help > Homepage opens.
inline constexpr const char* kComicSiteBase = "http://comics.example/";
inline constexpr const char* kHomePage = "http://panelwick.example/";

} // namespace pw::comics
