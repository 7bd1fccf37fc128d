#include "kit/mail/MailTransport.h"

#include <gio/gio.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace kit {

namespace {

std::mutex settingsMutex;
MailSettings currentSettings;

std::string firstLine(const char* text, size_t length) {
  std::string all(text, length);
  size_t start = all.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return {};
  size_t end = all.find_first_of("\r\n", start);
  return all.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// What the exchange with the transport came to.
struct Exchange {
  bool done = false;
  bool communicated = false;
  GBytes* errorOutput = nullptr;
  GError* error = nullptr;
};

// Writes the message to the transport and collects its error output, on a main context of this
// thread's own, so that a transport that hangs is cancelled after `timeout` seconds. Returns
// whether the time ran out.
bool communicate(GSubprocess* process, GBytes* input, double timeout, Exchange& exchange) {
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  GCancellable* cancellable = g_cancellable_new();
  g_subprocess_communicate_async(
      process, input, cancellable,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* e = static_cast<Exchange*>(data);
        e->communicated = g_subprocess_communicate_finish(G_SUBPROCESS(source), result, nullptr,
                                                          &e->errorOutput, &e->error);
        e->done = true;
      },
      &exchange);
  GSource* timer = g_timeout_source_new(static_cast<guint>(std::max(timeout, 0.0) * 1000));
  g_source_set_callback(
      timer,
      [](gpointer data) -> gboolean {
        g_cancellable_cancel(static_cast<GCancellable*>(data));
        return G_SOURCE_REMOVE;
      },
      cancellable, nullptr);
  g_source_attach(timer, context);
  while (!exchange.done) g_main_context_iteration(context, TRUE);
  bool timedOut = g_cancellable_is_cancelled(cancellable);
  g_source_destroy(timer);
  g_source_unref(timer);
  g_object_unref(cancellable);
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
  return timedOut;
}

}  // namespace

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

MailDelivery deliverWithSendmail(const std::string& message, const MailSettings& settings) {
  // A transport that quits before reading its input must not kill the program with SIGPIPE: the
  // signal is held back on this thread, so the write fails instead.
  sigset_t pipeSignal, previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);

  std::string program = sendmailProgram(settings);
  MailDelivery delivery;
  GError* error = nullptr;
  GSubprocess* process =
      g_subprocess_new(static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDIN_PIPE |
                                                     G_SUBPROCESS_FLAGS_STDOUT_SILENCE |
                                                     G_SUBPROCESS_FLAGS_STDERR_PIPE),
                       &error, program.c_str(), "-t", "-oi", nullptr);
  if (!process) {
    delivery.error = program + ": " + (error ? error->message : "could not be started");
    g_clear_error(&error);
  } else {
    GBytes* input = g_bytes_new(message.data(), message.size());
    Exchange exchange;
    bool timedOut = communicate(process, input, settings.timeout, exchange);
    g_bytes_unref(input);
    if (timedOut) g_subprocess_force_exit(process);
    bool communicated = exchange.communicated;
    GBytes* errorOutput = exchange.errorOutput;
    error = exchange.error;
    std::string errorLine;
    if (errorOutput) {
      gsize length = 0;
      const char* text = static_cast<const char*>(g_bytes_get_data(errorOutput, &length));
      errorLine = firstLine(text, length);
      g_bytes_unref(errorOutput);
    }
    std::string writeError;
    if (!communicated) {
      // The transport stopped reading its input; it is still waited for.
      writeError = error ? error->message : "the message was not taken";
      g_clear_error(&error);
      g_subprocess_wait(process, nullptr, nullptr);
    }
    bool exited = g_subprocess_get_if_exited(process);
    int status = exited ? g_subprocess_get_exit_status(process) : -1;
    delivery.sent = communicated && exited && status == 0;
    if (!delivery.sent) {
      if (timedOut) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", settings.timeout);
        delivery.error = program + " did not finish within " + seconds + " seconds";
      } else if (!errorLine.empty()) {
        delivery.error = errorLine;
      } else if (exited && status != 0) {
        delivery.error = program + " exited with status " + std::to_string(status);
      } else if (!exited) {
        delivery.error =
            program + " was ended by signal " + std::to_string(g_subprocess_get_term_sig(process));
      } else {
        delivery.error = program + ": " + writeError;
      }
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

}  // namespace kit
