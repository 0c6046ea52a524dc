// The look the program's dialogs share: their frame and palette, the
// coloured band with the title, and rows of a caption and a value.
#pragma once
#include <initializer_list>
#include <string>

#include "toolkit/control.h"
#include "toolkit/form.h"

namespace registry::dialog {

struct Palette {
  tk::Color back, text, header, header_text;
};

tk::Font Verdana(int size, bool bold, tk::Color color);

// A fixed dialog with that caption and client size, in the palette's
// colours and Verdana 8.
void Frame(tk::Form& form, const std::string& caption, int width, int height, const Palette& palette);
// The band across the top of the dialog with its title.
void Header(tk::Control& band, const std::string& title, int height, const tk::Font& font, const Palette& palette);

// A caption and the label beside it that shows a value.
struct Row {
  tk::Label& caption;
  const char* text;
  tk::Label& value;
};
struct Columns {
  int caption_left, caption_width, value_left, value_width;
  int top, step;  // of the first row, and from one row to the next
};
// One line per row; a value label clips what does not fit rather than
// spilling over the next row.
void LayOutRows(std::initializer_list<Row> rows, const Columns& at);

}  // namespace registry::dialog
