#include "registry/dialog_look.h"

namespace registry::dialog {

tk::Font Verdana(int size, bool bold, tk::Color color) { return tk::Font{"Verdana", size, bold, color}; }

void Frame(tk::Form& form, const std::string& caption, int width, int height, const Palette& palette) {
  form.SetFixedDialog(caption, width, height);
  form.SetColor(palette.back);
  form.SetFont(Verdana(8, false, palette.text));
}

void Header(tk::Control& band, const std::string& title, int height, const tk::Font& font, const Palette& palette) {
  band.SetBounds(0, 0, band.Parent()->Width(), height);
  band.SetColor(palette.header);
  band.SetFont(tk::Font{font.face, font.size, font.bold, palette.header_text});
  band.SetCaption(title);
}

void LayOutRows(std::initializer_list<Row> rows, const Columns& at) {
  int top = at.top;
  for (const Row& row : rows) {
    row.caption.SetBounds(at.caption_left, top, at.caption_width, 14);
    row.caption.SetCaption(row.text);
    row.value.SetBounds(at.value_left, top, at.value_width, 14);
    top += at.step;
  }
}

}  // namespace registry::dialog
