#pragma once

// The bounded packet queues between the source's demuxing thread and its streaming threads:
// one lane per delivered stream, one lock and one wake-up for all lanes.
//
// The demuxing thread is the only producer and waits while the lane it feeds is full, so no
// stream's decoding runs far ahead of the others. A full lane still takes packets while another
// lane that has not ended is empty (its streaming thread would otherwise wait for packets that
// sit behind the full lane in the file), up to a hard limit that bounds memory for any file.
// Each lane has one consumer, the streaming thread of its pin.

#include "platform/media/ffmpeg/FfmpegHandles.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

namespace fz::media::ffmpeg {

struct QueueLimits {
    std::size_t packets = 64;          // a lane waits at this many packets...
    std::size_t hardPackets = 4096;    // ...and at this many even when another lane is empty
    std::size_t hardBytes = 256 << 20; // all lanes together
};

class PacketQueues {
public:
    PacketQueues(std::size_t lanes, QueueLimits limits);

    // Demuxing thread. Queues `packet` on `lane`, waiting while the lane is full. Returns false
    // (dropping the packet) when the queues were aborted.
    bool Push(std::size_t lane, PacketPtr packet);
    // Demuxing thread. Marks the end of `lane`'s stream after its queued packets; never waits.
    void PushEnd(std::size_t lane);

    enum class PopResult { Packet, End, Aborted };
    // Streaming thread of `lane`. Waits for the next packet, the end of the stream or an abort.
    PopResult Pop(std::size_t lane, PacketPtr& packet);

    // Any thread: wakes every wait; Push and Pop answer "aborted" until Reset.
    void Abort();
    // Drops every queued packet and end mark and clears the abort; called while no thread
    // waits on the queues (after a stop or before a restart at a new position).
    void Reset();

    std::size_t Size(std::size_t lane) const;

private:
    struct Lane {
        std::deque<PacketPtr> packets;
        bool ended = false;
    };
    bool MustWait(std::size_t lane) const;

    const QueueLimits limits_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Lane> lanes_;
    std::size_t bytes_ = 0;
    bool aborted_ = false;
};

} // namespace fz::media::ffmpeg
