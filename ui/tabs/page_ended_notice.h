#pragma once
// The notice shown in place of a tab's page whose process or worker ended unexpectedly: it says
// so and offers "重新打开", which opens the page again in a new worker. It never reopens by
// itself, so a page that keeps crashing cannot start workers in a loop.
#include <gtkmm.h>

#include <functional>

namespace kivo {

inline constexpr const char* kPageEndedText = "此页面已停止运行。";
inline constexpr const char* kReopenCaption = "重新打开";

class TPageEndedNotice {
  public:
    explicit TPageEndedNotice(std::function<void()> reopen);

    Gtk::Widget& Widget() { return pnlPageEnded; }
    void Show();
    void Hide();
    // While a reopening runs the button takes no second press.
    void SetBusy(bool busy) { btnReopen.set_sensitive(!busy); }

  private:
    Gtk::Box pnlPageEnded{Gtk::ORIENTATION_VERTICAL, 12};
    Gtk::Label lblPageEnded;
    Gtk::Button btnReopen;
};

}  // namespace kivo
