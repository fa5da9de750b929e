#include "host/desktop/desktop_sound.h"

#include <alsa/asoundlib.h>
#include <canberra.h>
#include <errno.h>

#include <cstdarg>
#include <cstdio>

namespace host {
namespace {

// libasound prints each error of a sound that cannot be opened on stderr: eight lines an alert
// on a machine without a sound device. The first one says why; it is kept, and said once, when
// a sound could not be played. Never destroyed: a sound thread left stuck may still get here
// while the process ends.
struct SoundTrouble {
  std::mutex lock;
  std::string firstAlsaError;
  bool said = false;
};
SoundTrouble& trouble() {
  static SoundTrouble* const kept = new SoundTrouble();
  return *kept;
}

void keepAlsaError(const char*, int, const char*, int, const char* format, ...) {
  char text[256];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  const std::lock_guard<std::mutex> lock(trouble().lock);
  if (trouble().firstAlsaError.empty()) trouble().firstAlsaError = text;
}

// Called from libcanberra's thread too, when a sound has ended.
void sayIfSoundFailed(int code) {
  if (code == CA_SUCCESS || code == CA_ERROR_CANCELED) return;
  SoundTrouble& t = trouble();
  const std::lock_guard<std::mutex> lock(t.lock);
  if (t.said) return;
  t.said = true;
  const std::string cause = ca_strerror(code);
  const std::string line =
      std::string(program_invocation_short_name) + ": alert sound unavailable: " +
      (t.firstAlsaError.empty() ? cause : t.firstAlsaError + " (" + cause + ")") + "\n";
  std::fputs(line.c_str(), stderr);  // one write: stderr is unbuffered
}

}  // namespace

DesktopSound::DesktopSound() : shared_(std::make_shared<Shared>()) {
  snd_lib_error_set_handler(keepAlsaError);
  thread_ = std::thread(run, shared_);
}

DesktopSound::~DesktopSound() {
  std::unique_lock<std::mutex> lock(shared_->lock);
  // What was asked for is played, within a bound: a host that alerts and ends (a replay) still
  // sounds, one stuck in the sound service is not waited for.
  shared_->idle.wait_for(lock, kPlayBound, [&] { return !shared_->busy && !shared_->next; });
  shared_->stop = true;
  const bool stuck = shared_->busy;
  lock.unlock();
  shared_->wake.notify_one();
  if (stuck) {
    thread_.detach();  // it ends with the process; the shared state outlives us with it
  } else {
    thread_.join();
  }
}

void DesktopSound::enqueue(Request request) {
  {
    const std::lock_guard<std::mutex> lock(shared_->lock);
    shared_->next = std::move(request);
  }
  shared_->wake.notify_one();
}

void DesktopSound::playFile(const std::string& path, const std::string& description) {
  enqueue(Request{false, path, description});
}

void DesktopSound::playEvent(const std::string& eventId, const std::string& description) {
  enqueue(Request{true, eventId, description});
}

void DesktopSound::run(std::shared_ptr<Shared> shared) {
  ca_context* context = nullptr;
  if (ca_context_create(&context) != CA_SUCCESS) context = nullptr;
  for (;;) {
    Request request;
    {
      std::unique_lock<std::mutex> lock(shared->lock);
      shared->busy = false;
      shared->idle.notify_all();
      shared->wake.wait(lock, [&] { return shared->stop || shared->next; });
      if (shared->stop) break;
      request = std::move(*shared->next);
      shared->next.reset();
      shared->busy = true;
    }
    if (!context) continue;
    ca_proplist* properties = nullptr;
    if (ca_proplist_create(&properties) != CA_SUCCESS) continue;
    ca_proplist_sets(properties, request.isEvent ? CA_PROP_EVENT_ID : CA_PROP_MEDIA_FILENAME,
                     request.name.c_str());
    ca_proplist_sets(properties, CA_PROP_EVENT_DESCRIPTION, request.description.c_str());
    sayIfSoundFailed(ca_context_play_full(
        context, 0, properties,
        [](ca_context*, uint32_t, int code, void*) { sayIfSoundFailed(code); }, nullptr));
    ca_proplist_destroy(properties);
  }
  if (context) ca_context_destroy(context);
}

}  // namespace host
