#include <algorithm>
#include <cmath>

#include "internal.h"

namespace sound {

void Mixer::start(const std::shared_ptr<Voice>& voice, bool restart) {
    std::lock_guard lock(mutex_);
    if (restart || voice->ended_) {
        voice->decoder_->rewind();
        voice->ended_ = false;
    }
    if (!voice->playing_) {
        voice->playing_ = true;
        voices_.push_back(voice);
    }
}

void Mixer::stop(const std::shared_ptr<Voice>& voice) {
    std::lock_guard lock(mutex_);
    voice->playing_ = false;
    std::erase(voices_, voice);
}

bool Mixer::playing(const std::shared_ptr<Voice>& voice) {
    std::lock_guard lock(mutex_);
    return voice->playing_;
}

void Mixer::setLoop(const std::shared_ptr<Voice>& voice, bool loop) {
    std::lock_guard lock(mutex_);
    voice->loop = loop;
}

void Mixer::stopAll() {
    std::lock_guard lock(mutex_);
    for (auto& voice : voices_) voice->playing_ = false;
    voices_.clear();
}

void Mixer::render(int16_t* out, size_t frames) {
    std::lock_guard lock(mutex_);
    const size_t values = frames * mixChannels;
    sum_.assign(values, 0.0f);
    scratch_.resize(values);
    for (auto& voice : voices_) {
        size_t done = 0;
        bool justRewound = false;   // a loop that gives nothing after a rewind is empty: stop
        while (done < frames) {
            size_t got = voice->decoder_->read(scratch_.data(), frames - done);
            float* into = sum_.data() + done * mixChannels;
            for (size_t i = 0; i < got * mixChannels; ++i) into[i] += scratch_[i];
            done += got;
            if (got) justRewound = false;
            if (done == frames) break;
            if (voice->loop && !justRewound && voice->decoder_->rewind()) {
                justRewound = true;
                continue;
            }
            voice->ended_ = true;
            voice->playing_ = false;
            break;
        }
    }
    std::erase_if(voices_, [](const std::shared_ptr<Voice>& voice) { return !voice->playing_; });
    for (size_t i = 0; i < values; ++i) {
        long value = std::lround(sum_[i] * 32767.0f);
        out[i] = int16_t(std::clamp(value, -32768L, 32767L));
    }
}

}  // namespace sound
