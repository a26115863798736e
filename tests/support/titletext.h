#pragma once
// Measuring page texts of the title display the way the page layout lays
// them out, for the tests that check texts fit the display. Header only.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "gfx/font.h"

namespace titletext {

// The width in pixels of every line of a page, the way the layout adds up a
// line: the glyphs' widths, each in the font selected where it stands (the
// title fonts keep no extra room between glyphs), with the line's text.
// Lines are separated by backslash-n; "{font select NAME}" picks a font of
// fonts (an unknown name: nothing is measured until the next one); "{reset}"
// starts the page over; other tags take no room.
inline std::vector<std::pair<int, std::string>> lineWidths(const std::string& text,
                                                           const std::map<std::string, Font*>& fonts) {
  std::vector<std::pair<int, std::string>> lines(1);
  const Font* font = nullptr;
  for (size_t i = 0; i < text.size(); i++) {
    if (text.compare(i, 2, "\\n") == 0) {
      lines.emplace_back();
      i++;
    } else if (text[i] == '{') {
      const size_t close = text.find('}', i);
      if (close == std::string::npos) break;  // a markup fault, for the markup checks
      const std::string tag = text.substr(i + 1, close - i - 1);
      if (tag.rfind("font select ", 0) == 0) {
        auto it = fonts.find(tag.substr(12));
        font = it == fonts.end() ? nullptr : it->second;
      }
      if (tag == "reset") lines.assign(1, {});
      i = close;
    } else if (font) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (font->map[c] < font->chars->numfrms) lines.back().first += font->chars->frames[font->map[c]].width;
      lines.back().second += text[i];
    }
  }
  return lines;
}

}  // namespace titletext
