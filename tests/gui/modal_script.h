#pragma once
// Plays the user's part in a chain of modal dialogs: each step runs once on the next
// modal window that comes up (a dialog or a message box), in order. A step that leaves
// its window open (a progress dialog that closes itself) is not run on it again.
// Progress dialogs may come and go faster than a step could see them: every dialog
// shown is recorded in `seen`, and OnShow hooks run as it shows.
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

class ModalScript : public QObject {
  public:
    using Step = std::function<void(QWidget*)>;

    ModalScript() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start();
        qApp->installEventFilter(this);
    }
    ~ModalScript() override { qApp->removeEventFilter(this); }

    // Runs `hook` when a dialog of that object name is shown (before its loop runs).
    ModalScript& OnShow(const QString& name, std::function<void(QDialog*)> hook) {
        hooks_.push_back({name, std::move(hook)});
        return *this;
    }

    ModalScript& Then(Step step) {
        steps_.push_back(std::move(step));
        return *this;
    }
    // A message box: its caption and text are recorded as "caption: text", then OK.
    ModalScript& ThenNotice(QStringList* notices) {
        return Then([notices](QWidget* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            if (notices) notices->append(box ? box->windowTitle() + ": " + box->text() : "?");
            if (box) box->accept();
        });
    }
    bool Done() const { return steps_.empty(); }
    int Left() const { return static_cast<int>(steps_.size()); }
    // The window types met, in order (object names; message boxes as "box").
    QStringList seen;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (event->type() == QEvent::Show && dialog && dialog->isWindow()) {
            seen << (qobject_cast<QMessageBox*>(dialog) ? QString("box") : dialog->objectName());
            for (const auto& [name, hook] : hooks_)
                if (name == dialog->objectName()) hook(dialog);
        }
        return false;
    }

  private:
    void Poll() {
        QWidget* window = QApplication::activeModalWidget();
        // Progress dialogs end by themselves; they are reached through OnShow only.
        if (!window || steps_.empty() || passive_.contains(window->objectName())) return;
        for (const auto& handled : handled_)
            if (handled == window) return;
        handled_.push_back(window);
        Step step = std::move(steps_.front());
        steps_.pop_front();
        step(window);
    }

    QTimer timer_;
    std::deque<Step> steps_;
    std::vector<QPointer<QWidget>> handled_;
    const QStringList passive_ = {"145", "146", "158"};
    std::vector<std::pair<QString, std::function<void(QDialog*)>>> hooks_;
};
