#pragma once
// The About box (dialog 100) with its web and mail links.
#include <QColor>
#include <QDialog>
#include <QLabel>
#include <QUrl>
#include <functional>

namespace tarvik {

// A mail address drawn as a link: underlined, in the palette's link colour until
// visited and its visited-link colour after, with the hand cursor over it.
class CMailLink : public QLabel {
    Q_OBJECT
  public:
    CMailLink(const QString& address, QWidget* parent);
    const QString& Address() const { return address_; }
    bool Visited() const { return visited_; }
    void SetVisited(bool visited);
    QColor LinkColour() const;

  signals:
    void Clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QString address_;
    bool visited_ = false;
};

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // How a web or mail address is handed to the desktop; replaceable for tests.
    using UrlOpener = std::function<bool(const QUrl&)>;
    static void SetUrlOpener(UrlOpener opener);
    // How the failure to start a mail client is shown; replaceable for tests.
    using FailureReporter = std::function<void(const QString& text, const QString& caption)>;
    static void SetFailureReporter(FailureReporter reporter);

    void OpenMailLink(CMailLink* link);
    void OpenWebAddress();

    static constexpr const char* kWebAddress = "https://www.corvane-miravel.example/";
    static constexpr const char* kSalesMail = "sales@corvane-miravel.example";
    static constexpr const char* kSupportMail = "support@corvane-miravel.example";
};

}  // namespace tarvik
