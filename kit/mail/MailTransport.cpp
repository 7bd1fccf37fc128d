#include "kit/mail/MailTransport.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <gio/gunixinputstream.h>
#include <gio/gunixoutputstream.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "kit/base/Files.h"
#include "kit/base/Utf8.h"

namespace kit {

namespace {

std::mutex settingsMutex;
MailSettings currentSettings;

// How much of the transport's error output is kept, and how much of it is shown.
constexpr size_t kErrorBytesKept = 64 * 1024;
constexpr size_t kErrorLines = 3;
constexpr size_t kErrorLineCharacters = 160;
// After the transport exits, what it wrote to its error output is still read for this long.
constexpr unsigned kErrorGraceMilliseconds = 200;
const char* const kCancelled = "The send was cancelled.";

// The exchange with the transport, driven on a main context of the sending thread's own.
struct Exchange {
  GCancellable* stop = nullptr;  // ends the reading and writing once the transport has exited
  pid_t group = 0;
  bool writeDone = false, written = false;
  std::string writeError;
  bool errorDone = false;
  std::string errorOutput;
  bool exited = false, timedOut = false, cancelled = false, graceOver = false;

  void killGroup() const {
    if (group > 0) ::kill(-group, SIGKILL);
  }
};

void readErrorOutput(GInputStream* stream, Exchange* exchange) {
  g_input_stream_read_bytes_async(
      stream, 4096, G_PRIORITY_DEFAULT, exchange->stop,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* e = static_cast<Exchange*>(data);
        GBytes* bytes = g_input_stream_read_bytes_finish(G_INPUT_STREAM(source), result, nullptr);
        gsize length = bytes ? g_bytes_get_size(bytes) : 0;
        if (length == 0) {
          e->errorDone = true;
        } else {
          // Read to the end all the same, so that a talkative transport never blocks on it.
          size_t room = kErrorBytesKept - std::min(kErrorBytesKept, e->errorOutput.size());
          e->errorOutput.append(static_cast<const char*>(g_bytes_get_data(bytes, nullptr)),
                                std::min<size_t>(room, length));
          readErrorOutput(G_INPUT_STREAM(source), e);
        }
        if (bytes) g_bytes_unref(bytes);
      },
      exchange);
}

// Hands the message over as it comes and closes the transport's input after it.
void writeInput(GOutputStream* stream, GInputStream* message, Exchange* exchange) {
  g_output_stream_splice_async(
      stream, message,
      static_cast<GOutputStreamSpliceFlags>(G_OUTPUT_STREAM_SPLICE_CLOSE_SOURCE |
                                            G_OUTPUT_STREAM_SPLICE_CLOSE_TARGET),
      G_PRIORITY_DEFAULT, exchange->stop,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* e = static_cast<Exchange*>(data);
        GError* error = nullptr;
        e->written = g_output_stream_splice_finish(G_OUTPUT_STREAM(source), result, &error) >= 0;
        if (error) e->writeError = error->message;
        g_clear_error(&error);
        e->writeDone = true;
      },
      exchange);
}

GSource* attachTimer(GMainContext* context, unsigned milliseconds, GSourceFunc callback,
                     gpointer data) {
  GSource* timer = g_timeout_source_new(milliseconds);
  g_source_set_callback(timer, callback, data, nullptr);
  g_source_attach(timer, context);
  return timer;
}

void forget(GSource* source) {
  if (!source) return;
  g_source_destroy(source);
  g_source_unref(source);
}

// Writes the message, reads the error output and waits for the exit. Once the transport has
// exited, the exit status alone decides; reading and writing stop after a short grace.
void exchangeWith(GSubprocess* process, GInputStream* message, double timeout,
                  GCancellable* userCancellable, Exchange& e) {
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  e.stop = g_cancellable_new();
  writeInput(g_subprocess_get_stdin_pipe(process), message, &e);
  readErrorOutput(g_subprocess_get_stderr_pipe(process), &e);
  g_subprocess_wait_async(
      process, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        g_subprocess_wait_finish(G_SUBPROCESS(source), result, nullptr);
        static_cast<Exchange*>(data)->exited = true;
      },
      &e);
  GSource* timer = attachTimer(
      context, static_cast<unsigned>(std::max(timeout, 0.0) * 1000),
      [](gpointer data) -> gboolean {
        auto* e = static_cast<Exchange*>(data);
        e->timedOut = true;
        e->killGroup();
        return G_SOURCE_REMOVE;
      },
      &e);
  GSource* cancelled = nullptr;
  if (userCancellable) {
    cancelled = g_cancellable_source_new(userCancellable);
    GCancellableSourceFunc onCancel = [](GCancellable*, gpointer data) -> gboolean {
      auto* e = static_cast<Exchange*>(data);
      e->cancelled = true;
      e->killGroup();
      return G_SOURCE_REMOVE;
    };
    g_source_set_callback(cancelled, G_SOURCE_FUNC(onCancel), &e, nullptr);
    g_source_attach(cancelled, context);
  }

  while (!e.exited) g_main_context_iteration(context, TRUE);
  GSource* grace = attachTimer(
      context, kErrorGraceMilliseconds,
      [](gpointer data) -> gboolean {
        static_cast<Exchange*>(data)->graceOver = true;
        return G_SOURCE_REMOVE;
      },
      &e);
  while ((!e.errorDone || !e.writeDone) && !e.graceOver) g_main_context_iteration(context, TRUE);
  g_cancellable_cancel(e.stop);
  while (!e.errorDone || !e.writeDone) g_main_context_iteration(context, TRUE);

  forget(grace);
  forget(timer);
  forget(cancelled);
  g_object_unref(e.stop);
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
}

// What became of the message once the transport has exited.
MailDelivery outcome(GSubprocess* process, const std::string& program, const Exchange& exchange,
                     double timeout) {
  MailDelivery delivery;
  bool exited = g_subprocess_get_if_exited(process);
  int status = exited ? g_subprocess_get_exit_status(process) : -1;
  delivery.sent = exchange.written && exited && status == 0;
  if (delivery.sent) return delivery;
  delivery.cancelled = exchange.cancelled;
  std::string said = utf8::excerpt(exchange.errorOutput, kErrorLines, kErrorLineCharacters);
  if (exchange.cancelled) {
    delivery.error = kCancelled;
  } else if (exchange.timedOut) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", timeout);
    delivery.error = program + " did not finish within " + seconds + " seconds";
  } else if (!said.empty()) {
    delivery.error = said;
  } else if (exited && status != 0) {
    delivery.error = program + " exited with status " + std::to_string(status);
  } else if (!exited) {
    delivery.error =
        program + " was ended by signal " + std::to_string(g_subprocess_get_term_sig(process));
  } else {
    delivery.error = program + ": " + exchange.writeError;
  }
  return delivery;
}

// The message as the transport reads it: bytes held in memory, or a message in MIME form that a
// thread of its own writes into a pipe as the transport reads from it.
class MessageInput {
 public:
  explicit MessageInput(const std::string& bytes)
      : stream_(g_memory_input_stream_new_from_data(bytes.data(), static_cast<gssize>(bytes.size()),
                                                    nullptr)) {}
  // A message written into the pipe the transport reads by `write` (which answers 0 or an errno),
  // on a thread of its own.
  explicit MessageInput(std::function<int(int fd)> write) : write_(std::move(write)) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
      failure_ = g_strerror(errno);
      return;
    }
    stream_ = g_unix_input_stream_new(ends[0], TRUE);
    writeEnd_ = ends[1];
  }
  MessageInput(const MessageInput&) = delete;
  MessageInput& operator=(const MessageInput&) = delete;
  ~MessageInput() {
    finish();
    if (stream_) g_object_unref(stream_);
  }

  // What the transport reads; null when there is nothing to read (failure() says why).
  GInputStream* stream() const { return stream_; }
  // Starts writing, once the transport runs in process group `group`. A message that cannot be
  // written whole (other than because the transport stopped reading) ends the group before the
  // transport sees the end of its input, so that no part of it is sent.
  void start(pid_t group) {
    if (!write_ || !stream_) return;
    writer_ = std::thread([this, group] {
      int error = write_(writeEnd_);
      if (error == 0) {
        ::close(std::exchange(writeEnd_, -1));
      } else if (error != EPIPE) {
        failure_ = g_strerror(error);
        if (group > 0) ::kill(-group, SIGKILL);
      }
    });
  }
  // Stops the writing if it still goes on; answers why the message could not be written, or "".
  const std::string& finish() {
    if (writer_.joinable()) {
      g_input_stream_close(stream_, nullptr, nullptr);
      writer_.join();
    }
    if (writeEnd_ >= 0) ::close(std::exchange(writeEnd_, -1));
    return failure_;
  }
  const std::string& failure() const { return failure_; }

 private:
  std::function<int(int fd)> write_;
  GInputStream* stream_ = nullptr;
  int writeEnd_ = -1;
  std::thread writer_;
  std::string failure_;
};

MailDelivery deliver(MessageInput& input, const MailSettings& settings, GCancellable* cancellable) {
  if (cancellable && g_cancellable_is_cancelled(cancellable)) return {false, true, kCancelled};
  if (!input.stream())
    return {false, false, "The message could not be written: " + input.failure()};
  // A transport that quits before reading its input must not kill the program with SIGPIPE: the
  // signal is held back on this thread (and the writing thread started from it), so the write
  // fails instead.
  sigset_t pipeSignal, previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);

  std::string program = sendmailProgram(settings);
  MailDelivery delivery;
  GError* error = nullptr;
  GSubprocessLauncher* launcher = g_subprocess_launcher_new(static_cast<GSubprocessFlags>(
      G_SUBPROCESS_FLAGS_STDIN_PIPE | G_SUBPROCESS_FLAGS_STDOUT_SILENCE |
      G_SUBPROCESS_FLAGS_STDERR_PIPE));
  // A group of its own, so that a timeout or a cancel ends its children too.
  g_subprocess_launcher_set_child_setup(
      launcher, [](gpointer) { setpgid(0, 0); }, nullptr, nullptr);
  // The sender, when set, is the envelope's too: bounces go to it, and a server that refuses it
  // says so by its address rather than failing the message some other way.
  std::vector<const char*> argv = {program.c_str(), "-t", "-oi"};
  if (!settings.sender.empty()) argv.insert(argv.end(), {"-f", settings.sender.c_str()});
  argv.push_back(nullptr);
  GSubprocess* process = g_subprocess_launcher_spawnv(launcher, argv.data(), &error);
  g_object_unref(launcher);
  if (!process) {
    delivery.error = program + ": " + (error ? error->message : "could not be started");
    g_clear_error(&error);
  } else {
    Exchange exchange;
    const char* identifier = g_subprocess_get_identifier(process);
    exchange.group = identifier ? static_cast<pid_t>(std::atoi(identifier)) : 0;
    input.start(exchange.group);
    exchangeWith(process, input.stream(), settings.timeout, cancellable, exchange);
    const std::string unwritten = input.finish();
    delivery = outcome(process, program, exchange, settings.timeout);
    if (!unwritten.empty() && !delivery.cancelled) {
      delivery = {false, false, "The message could not be written: " + unwritten};
    }
    g_object_unref(process);
  }

  // A SIGPIPE raised meanwhile is taken off the pending list before the mask is restored, so it
  // never reaches the program.
  struct timespec none = {0, 0};
  while (sigtimedwait(&pipeSignal, nullptr, &none) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return delivery;
}

}  // namespace

SendCancellation::SendCancellation() : cancellable_(g_cancellable_new()) {}

SendCancellation::~SendCancellation() {
  g_object_unref(cancellable_);
}

void SendCancellation::cancel() {
  g_cancellable_cancel(cancellable_);
}

bool SendCancellation::isCancelled() const {
  return g_cancellable_is_cancelled(cancellable_);
}

MailSettings mailSettings() {
  std::lock_guard<std::mutex> lock(settingsMutex);
  return currentSettings;
}

void setMailSettings(MailSettings settings) {
  std::lock_guard<std::mutex> lock(settingsMutex);
  currentSettings = std::move(settings);
}

std::string sendmailProgram(const MailSettings& settings) {
  if (!settings.sendmail.empty()) return settings.sendmail;
  gchar* found = g_find_program_in_path("sendmail");
  std::string program = found ? found : "/usr/sbin/sendmail";
  g_free(found);
  return program;
}

MailDelivery deliverWithSendmail(const std::string& message, const MailSettings& settings,
                                 SendCancellation* cancellation) {
  MessageInput input(message);
  return deliver(input, settings, cancellation ? cancellation->cancellable_ : nullptr);
}

MailDelivery deliverWithSendmail(const MailMessage& message, const std::string& from,
                                 const MailSettings& settings, SendCancellation* cancellation) {
  MessageInput input([&](int fd) { return writeMimeMessage(message, from, fd); });
  return deliver(input, settings, cancellation ? cancellation->cancellable_ : nullptr);
}

MailDelivery deliverFileWithSendmail(const std::string& path, const MailSettings& settings,
                                     SendCancellation* cancellation) {
  std::string error;
  std::optional<FileReader> file = FileReader::open(path, &error);
  if (!file) return {false, false, error};
  MessageInput input([&](int fd) {
    GOutputStream* out = g_unix_output_stream_new(fd, FALSE);
    int failure = 0;
    FileStatus read = file->read(0, file->size(), [&](std::string_view piece) {
      GError* error = nullptr;
      if (failure == 0 &&
          !g_output_stream_write_all(out, piece.data(), piece.size(), nullptr, nullptr, &error)) {
        // A transport that stopped reading is told apart: it decides the outcome itself.
        failure = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_BROKEN_PIPE) ? EPIPE : EIO;
      }
      g_clear_error(&error);
    });
    g_object_unref(out);
    return failure ? failure : read ? 0 : EIO;
  });
  return deliver(input, settings, cancellation ? cancellation->cancellable_ : nullptr);
}

}  // namespace kit
