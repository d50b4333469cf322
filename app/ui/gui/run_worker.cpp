#include "ui/gui/run_worker.h"

#include <exception>
#include <memory>
#include <utility>

namespace zepa::gui {

RunWorker::RunWorker(QObject* parent) : QObject(parent) {}

RunWorker::~RunWorker() {
  if (thread_) thread_->wait();
}

bool RunWorker::start(std::function<void()> job, std::function<void()> done,
                      std::function<void(const QString&)> failed) {
  if (thread_) return false;
  auto error = std::make_shared<QString>();
  auto has_error = std::make_shared<bool>(false);
  QThread* thread = QThread::create([job = std::move(job), error, has_error] {
    try {
      job();
    } catch (const std::exception& e) {
      *error = QString::fromUtf8(e.what());
      *has_error = true;
    } catch (...) {
      *error = "unknown error";
      *has_error = true;
    }
  });
  thread_ = thread;
  connect(thread, &QThread::finished, this,
          [this, thread, done = std::move(done), failed = std::move(failed), error, has_error] {
            thread->wait();
            thread->deleteLater();
            thread_ = nullptr;
            if (*has_error && failed) failed(*error);
            if (done) done();
            emit finished();
          });
  thread->start();
  emit started();
  return true;
}

bool RunWorker::wait(unsigned long ms) {
  if (!thread_) return true;
  return thread_->wait(ms);
}

}  // namespace zepa::gui
