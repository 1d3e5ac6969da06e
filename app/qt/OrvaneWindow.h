// The Qt window: the controls of the main window laid out from twips, forwarding its events to
// fOrvane and carrying out what the logic asks of a window.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <array>

#include "form/FormWindow.h"
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

    // Twips to pixels at this window's logical resolution.
    int Pixels(int twips) const;

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

signals:
    // A caption changed: the status, the address, the countdown or the pause button's.
    void CaptionChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* AddLabel(const char* name, const char* caption, int left, int top, int width,
                     int height, const QFont& font, Qt::Alignment alignment);
    QPushButton* AddButton(const char* name, const char* caption, int left, int top,
                           const QFont& font);
    QWidget* Widget(Control control) const;
    void InitWindowService();

    fOrvane* logic_ = nullptr;
    QLabel* Label2_ = nullptr;
    QLabel* Label4_ = nullptr;
    QLabel* Label7_ = nullptr;
    QPushButton* PBSet_ = nullptr;
    QPushButton* PBReset_ = nullptr;
    QPushButton* PBPause_ = nullptr;
    QTimer* Timer1_ = nullptr;
    int16_t closeReason_ = 0;

    // What the support library's window service calls back into.
    RzWindow self_{};
    RzWindow desktop_{};
};

// Fonts of the window: "MS Sans Serif" where the system has it, else a plain sans-serif face.
QFont OrvaneFont(double pointSize, bool bold);

}  // namespace orvane
