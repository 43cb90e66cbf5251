#pragma once
// The program's own pictures, drawn rather than shipped: the application icon, the banner of the
// top bar, and the small white glyphs of the picture buttons.
#include <gtkmm.h>

#include <string>

namespace kivo {

enum class Glyph {
    Back,
    Forward,
    Refresh,
    Home,
    Go,
    Minimize,
    Maximize,
    Close,
    DropDown,
    Search,
    LeftPanel,
    AddList,
    SaveForm,
};

// The application icon (tray, window list), `size` pixels square.
Glib::RefPtr<Gdk::Pixbuf> AppIcon(int size);
// Draws the application icon into the square 0, 0, size, size (also for the installed icons).
void DrawAppIcon(const Cairo::RefPtr<Cairo::Context>& cr, double size);
// The icon of a search engine (index 0 or 1), and of the search button (2) and its disabled
// form (3), 16 pixels square.
Glib::RefPtr<Gdk::Pixbuf> SearchIcon(int index);
// A glyph on a transparent background, for an entry's icon.
Glib::RefPtr<Gdk::Pixbuf> GlyphIcon(Glyph glyph, int size, const Gdk::RGBA& colour);

// A closed path around the box x, y, w, h with corners of radius r.
void RoundedRectangle(const Cairo::RefPtr<Cairo::Context>& cr, double x, double y, double w,
                      double h, double r);

// The banner of the top bar, stretched to w x h.
// The blue title band across the top of a dialog's picture, `height` pixels high.
void FillTitleBand(const Cairo::RefPtr<Cairo::Context>& cr, double width, double height);
void DrawBanner(const Cairo::RefPtr<Cairo::Context>& cr, double w, double h);
// A glyph centred in a w x h box, drawn in the current source colour.
void DrawGlyph(const Cairo::RefPtr<Cairo::Context>& cr, Glyph glyph, double w, double h);

// A flat button showing a glyph (and an optional caption after it), white on the banner; it
// lights up under the pointer and darkens while pressed.
class PictureButton : public Gtk::Button {
  public:
    PictureButton(Glyph glyph, int width, int height, const std::string& caption = "");

  protected:
    bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override;

  private:
    Glyph glyph_;
    std::string caption_;
};

// The colours of the frame.
inline constexpr const char* kPanelColour = "#136EB7";
inline constexpr const char* kBorderColour = "#88C5E6";
inline constexpr const char* kTabStripColour = "#F7F6F5";
inline constexpr const char* kLeftPanelColour = "#F3F3F3";

// The style sheet of the program's windows, installed once for the screen.
void InstallStyleSheet();

}  // namespace kivo
