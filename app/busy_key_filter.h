#pragma once
// The keys of a dialog that shows a running operation: Enter does nothing, Escape does
// nothing unless the operation can be stopped (then it stops it, as the dialog's button
// does), F1 to F12 (alone or with Alt, so Alt+F4 too) answer with a warning under
// "!Warning", and a close request from the window manager is refused with the same
// warning.
#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

class QDialog;
class QCloseEvent;

namespace tarvik {

inline constexpr const char* kWarningCaption = "!Warning";
inline constexpr const char* kCannotStopText = "This Operation Cannot Be Stopped In Between";
inline constexpr const char* kStopBeforeClosingText =
    "Stop Current Operation Before Closing Miravel NTFS";

class CBusyKeyFilter final : public QObject {
    Q_OBJECT
  public:
    // Watches every key that reaches `dialog` or a control of it, from now until the
    // filter is destroyed.
    CBusyKeyFilter(QDialog* dialog, std::string warning);
    ~CBusyKeyFilter() override;

    // For the dialog's closeEvent: refuses a close asked for by the user.
    void RefuseClose(QCloseEvent* event);
    // What Escape does: stop the operation.
    void SetEscapeAction(std::function<void()> action) { escape_ = std::move(action); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Warn();

    QPointer<QDialog> dialog_;
    std::string warning_;
    bool warning_shown_ = false;
    std::function<void()> escape_;
};

}  // namespace tarvik
