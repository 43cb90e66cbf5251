#pragma once
// The area of a drawn dialog that holds its controls: each control has the box the drawing
// gives it, and the area grows where the controls need more room at the desktop's font and
// scale (see TDesignLayout), so none covers another or leaves the dialog.
#include <gtkmm.h>

#include <vector>

#include "ui/dialogs/dialog_layout.h"

namespace kivo {

class TDialogBody : public Gtk::Fixed {
  public:
    TDialogBody(int width, int height);

    // Puts the control at its design box.
    void Place(Gtk::Widget& widget, DesignBox box);
    // Puts the control at (x, y) with its requested size as its design size.
    void Place(Gtk::Widget& widget, int x, int y);

    // Where a design position lies in the dialog as laid out now.
    int MapY(int design) const { return Layout().MapY(design); }
    int MapX(int design) const { return Layout().MapX(design); }

  protected:
    Gtk::SizeRequestMode get_request_mode_vfunc() const override;
    void get_preferred_width_vfunc(int& minimum, int& natural) const override;
    void get_preferred_height_vfunc(int& minimum, int& natural) const override;
    void get_preferred_width_for_height_vfunc(int height, int& minimum,
                                              int& natural) const override;
    void get_preferred_height_for_width_vfunc(int width, int& minimum,
                                              int& natural) const override;
    void on_size_allocate(Gtk::Allocation& allocation) override;

  private:
    struct Placed {
        Gtk::Widget* widget;
        DesignBox box;
    };
    TDesignLayout Layout() const;

    NeededSize design_size_;
    std::vector<Placed> placed_;
};

}  // namespace kivo
