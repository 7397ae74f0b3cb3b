#pragma once
// Reads the bytes of the entry the preview shows, on a thread of its own, so that moving
// through the list never waits on the disk. Only the latest request counts: a new one
// stops the read under way, and the reads of rows passed over are never started.
#include <QThread>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

#include "common/reporting.h"
#include "filedata/file_data_window.h"

namespace tarvik {

class RecoverySession;

// What a read came to, for the request numbered `request`.
struct PreviewBytes {
    quint64 request = 0;
    std::size_t catalogueIndex = 0;
    bool readable = false;  // false: the record or its data map could not be read
    DataWindow window;
};

class CPreviewReader : public QThread {
    Q_OBJECT
  public:
    explicit CPreviewReader(RecoverySession& session, QObject* parent = nullptr);
    ~CPreviewReader() override;

    // Asks for the first `length` bytes of an entry; returns the request's number, which
    // Loaded carries back. Stops the read under way.
    quint64 Request(std::size_t catalogueIndex, std::size_t length);
    // Stops the read under way and drops the request waiting, and returns once the
    // reader no longer reads the drive (before another long call does).
    void Halt();

  signals:
    void Loaded(const tarvik::PreviewBytes& bytes);

  protected:
    void run() override;

  private:
    RecoverySession& session_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::optional<std::size_t> pendingIndex_;
    std::size_t pendingLength_ = 0;
    quint64 pendingRequest_ = 0;
    quint64 lastRequest_ = 0;
    bool reading_ = false;
    bool quit_ = false;
    StopFlag stop_{false};
};

}  // namespace tarvik

Q_DECLARE_METATYPE(tarvik::PreviewBytes)
