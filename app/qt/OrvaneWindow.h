// The Qt window: the controls of the main window laid out from twips, forwarding its events to
// fOrvane and carrying out what the logic asks of a window.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <array>

#include "form/FormWindow.h"
#include "form/WindowLayout.h"
#include "raradozo/raradozo.h"

namespace orvane {

class fOrvane;

class OrvaneWindow final : public QWidget, public FormWindow {
    Q_OBJECT

  public:
    OrvaneWindow();

    void Attach(fOrvane* logic) { logic_ = logic; }
    // A close that the system asks for (signals, the session ending): no question.
    void CloseBySystem();
    // Shows the window with the keyboard focus on PBSet.
    void ShowFirstTime();

    // The logical resolution the controls are laid out at, in dots per inch.
    int Dpi() const;

    // FormWindow
    void SetCaption(Control control, const std::string& text) override;
    std::string Caption(Control control) const override;
    void SetEnabled(Control control, bool enabled) override;
    bool IsEnabled(Control control) const override;
    void SetTimerInterval(int milliseconds) override;
    void SetTimerEnabled(bool enabled) override;
    void PumpEvents() override;
    void WaitForEvents(std::chrono::milliseconds atMost) override;
    bool AskYesNo(const std::string& text) override;
    void ShowFatalError(const std::string& text) override;
    void CloseWhenIdle() override;
    void* Handle() override { return &self_; }
    void StatusChanged(const Status& status) override { emit StatusShown(status); }

  signals:
    // The form's status changed: a cycle's result, a tick, a pause or resumption.
    void StatusShown(const orvane::Status& status);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void AddControl(const ControlLayout& layout);
    template <typename T = QWidget>
    T* Widget(Control control) const {
        return findChild<T*>(LayoutOf(control).name, Qt::FindDirectChildrenOnly);
    }
    void InitWindowService();

    fOrvane* logic_ = nullptr;
    QTimer* Timer1_ = nullptr;
    int16_t closeReason_ = 0;

    // What the support library's window service calls back into.
    RzWindow self_{};
    RzWindow desktop_{};
};

}  // namespace orvane
