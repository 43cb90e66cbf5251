#pragma once
// Pictures of widgets as they stand on the screen, and waiting for them to be drawn.
#include <gtkmm.h>

#include <chrono>
#include <functional>

namespace kivo::shot {

// Runs the default main context until `done` holds or the time is up; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// The screen area the widget covers, read from the root window so that windows of other
// processes embedded in it are in the picture; clipped to the screen. Null when the widget
// is not realised or lies wholly off the screen.
Glib::RefPtr<Gdk::Pixbuf> GrabScreenArea(Gtk::Widget& widget);

// Whether every pixel of the picture has the same colour (alpha aside): nothing was drawn
// there yet. An empty or missing picture counts as one colour.
bool SingleColour(const Glib::RefPtr<Gdk::Pixbuf>& picture);

}  // namespace kivo::shot
