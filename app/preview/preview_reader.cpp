#include "app/preview/preview_reader.h"

#include <exception>

#include "session/recovery_session.h"

namespace tarvik {

CPreviewReader::CPreviewReader(RecoverySession& session, QObject* parent)
    : QThread(parent), session_(session) {
    qRegisterMetaType<PreviewBytes>();
    start(QThread::LowPriority);
}

CPreviewReader::~CPreviewReader() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        stop_.store(true);
    }
    wake_.notify_all();
    wait();
}

quint64 CPreviewReader::Request(std::size_t catalogueIndex, std::size_t length) {
    std::lock_guard lock(mutex_);
    pendingIndex_ = catalogueIndex;
    pendingLength_ = length;
    pendingRequest_ = ++lastRequest_;
    stop_.store(true);
    wake_.notify_all();
    return pendingRequest_;
}

void CPreviewReader::Halt() {
    std::unique_lock lock(mutex_);
    pendingIndex_.reset();
    stop_.store(true);
    idle_.wait(lock, [this] { return !reading_; });
}

void CPreviewReader::run() {
    for (;;) {
        PreviewBytes bytes;
        std::size_t length = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || pendingIndex_.has_value(); });
            if (quit_) return;
            bytes.catalogueIndex = *pendingIndex_;
            bytes.request = pendingRequest_;
            length = pendingLength_;
            pendingIndex_.reset();
            stop_.store(false);
            reading_ = true;
        }
        try {
            if (auto window = session_.ReadEntryData(bytes.catalogueIndex, 0, length, &stop_)) {
                bytes.readable = true;
                bytes.window = std::move(*window);
            }
        } catch (const std::exception&) {
            // A preview that cannot be made shows the entry as unreadable; the program
            // and the reader go on.
            bytes.readable = false;
        }
        bool stopped = false;
        {
            std::lock_guard lock(mutex_);
            reading_ = false;
            stopped = stop_.load();
        }
        idle_.notify_all();
        if (!stopped) emit Loaded(bytes);
    }
}

}  // namespace tarvik
