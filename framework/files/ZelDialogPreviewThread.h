// TZelDialogPreviewThread: the open dialog's worker that turns the selected file into
// a preview picture through the file-format table, off the main thread.
//
// The main thread asks for a preview (RequestPreview) each time the selection moves;
// a request the worker has not taken yet is replaced, so only the latest counts. Each
// request carries its own number and the size of the box to fill, so the worker reads
// nothing of the dialog. A finished picture is stored with its request's number, and
// only when no newer request arrived meanwhile; the worker then calls Notify, which
// must only post (never wait for) the main thread. The main thread takes the stored
// picture with TakePreview, naming the number it still wants: a picture of any other
// request is freed there. So no stale picture is ever shown or leaked, and the main
// thread never waits for the worker except when the thread object is destroyed.
//
// The pending request, the stored picture and the terminate flag cross the threads
// under one lock, held only for the exchange, never while a picture is made. The
// worker sleeps until a request or Terminate wakes it. A picture being made is told to
// stop (GetThumbnail's Stop) as soon as a newer request arrives or the previews are
// terminated, so that neither a fast scroll nor closing the dialog waits for a large
// file's picture.

#ifndef QUILL_FRAMEWORK_ZELDIALOGPREVIEWTHREAD_H_
#define QUILL_FRAMEWORK_ZELDIALOGPREVIEWTHREAD_H_

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "ZelFileFormats.h"

class TZelDialogPreviewThread {
 public:
  // Formats must outlive this object; Notify runs on the worker after each stored
  // picture and must not block.
  TZelDialogPreviewThread(const TZelFileFormats& formats, std::function<void()> notify);
  // Terminate, then Stop.
  ~TZelDialogPreviewThread();
  TZelDialogPreviewThread(const TZelDialogPreviewThread&) = delete;
  TZelDialogPreviewThread& operator=(const TZelDialogPreviewThread&) = delete;

  // Starts the worker once; false when it could not be started, or was terminated or
  // stopped before.
  bool Start();
  // Ends the previews: drops the pending request, refuses later ones and asks the
  // worker to end; returns at once. A picture being made is freed when it is done,
  // never stored.
  void Terminate();
  // Ends the worker and waits for it. Requests are still taken, and a caller may run
  // the passes itself (ProcessRequest).
  void Stop();

  // Main thread. Asks for a preview of FileName fitting Width x Height; returns the
  // request's number (never 0).
  uint64_t RequestPreview(const QString& fileName, int32_t width, int32_t height);
  // Main thread. Takes the stored picture: into Thumbnail when it answers request
  // Number (true), else it is freed (false). False when no picture is stored.
  bool TakePreview(uint64_t number, std::unique_ptr<TZelThumbnail>& thumbnail);

  // One pass of the worker: takes the pending request, makes its picture and stores
  // it unless a newer request arrived or the previews were terminated, then Notify.
  // False when no request was pending. The worker loop calls it; with the worker
  // stopped, a caller may run passes itself.
  bool ProcessRequest();

 private:
  struct TRequest {
    QString FileName;
    int32_t Width = 0;
    int32_t Height = 0;
    uint64_t Number = 0;
  };

  void Run();

  const TZelFileFormats& formats_;
  const std::function<void()> notify_;
  uint64_t lastNumber_ = 0;  // main thread only

  std::mutex mutex_;
  std::condition_variable wake_;
  // Guarded by mutex_:
  std::optional<TRequest> request_;
  std::stop_source working_;  // of the picture being made
  std::unique_ptr<TZelThumbnail> result_;
  uint64_t resultNumber_ = 0;
  bool terminated_ = false;
  bool stopping_ = false;

  std::thread worker_;
};

#endif  // QUILL_FRAMEWORK_ZELDIALOGPREVIEWTHREAD_H_
