// One worker thread for the programmer's runs: a job (a run, a cable check, the start-up work, a batch) goes
// on it while the GUI thread keeps serving the window; `done` is then called on the GUI thread. One job at a
// time.
#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>
#include <functional>

namespace zepa::gui {

class RunWorker final : public QObject {
  Q_OBJECT

 public:
  explicit RunWorker(QObject* parent = nullptr);
  // Waits for a job still running (the owner stops it first).
  ~RunWorker() override;

  // Starts `job` on a new thread; `done` runs on this object's thread after it. False when a job is running.
  // An exception escaping the job is handed to `failed` (on this object's thread) as its text.
  bool start(std::function<void()> job, std::function<void()> done,
             std::function<void(const QString&)> failed = {});
  bool running() const { return thread_ != nullptr; }
  // Waits until the running job has ended (true) or `ms` milliseconds have passed (false).
  bool wait(unsigned long ms);

 signals:
  void started();
  void finished();

 private:
  QPointer<QThread> thread_;
};

}  // namespace zepa::gui
