#include "platform/media/ffmpeg/PacketQueues.h"

namespace fz::media::ffmpeg {

PacketQueues::PacketQueues(std::size_t lanes, QueueLimits limits)
    : limits_(limits)
    , lanes_(lanes) {}

bool PacketQueues::MustWait(std::size_t lane) const {
    const Lane& own = lanes_[lane];
    if (own.packets.size() >= limits_.hardPackets || bytes_ >= limits_.hardBytes)
        return true;
    if (own.packets.size() < limits_.packets)
        return false;
    for (std::size_t other = 0; other < lanes_.size(); ++other)
        if (other != lane && !lanes_[other].ended && lanes_[other].packets.empty())
            return false;
    return true;
}

bool PacketQueues::Push(std::size_t lane, PacketPtr packet) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return aborted_ || !MustWait(lane); });
    if (aborted_)
        return false;
    bytes_ += static_cast<std::size_t>(packet->size);
    lanes_[lane].packets.push_back(std::move(packet));
    changed_.notify_all();
    return true;
}

void PacketQueues::PushEnd(std::size_t lane) {
    const std::lock_guard lock(mutex_);
    lanes_[lane].ended = true;
    changed_.notify_all();
}

PacketQueues::PopResult PacketQueues::Pop(std::size_t lane, PacketPtr& packet) {
    std::unique_lock lock(mutex_);
    Lane& own = lanes_[lane];
    changed_.wait(lock, [&] { return aborted_ || !own.packets.empty() || own.ended; });
    if (aborted_)
        return PopResult::Aborted;
    if (own.packets.empty())
        return PopResult::End;
    packet = std::move(own.packets.front());
    own.packets.pop_front();
    bytes_ -= static_cast<std::size_t>(packet->size);
    changed_.notify_all();
    return PopResult::Packet;
}

void PacketQueues::Abort() {
    const std::lock_guard lock(mutex_);
    aborted_ = true;
    changed_.notify_all();
}

void PacketQueues::Reset() {
    const std::lock_guard lock(mutex_);
    for (Lane& lane : lanes_) {
        lane.packets.clear();
        lane.ended = false;
    }
    bytes_ = 0;
    aborted_ = false;
    changed_.notify_all();
}

std::size_t PacketQueues::Size(std::size_t lane) const {
    const std::lock_guard lock(mutex_);
    return lanes_[lane].packets.size();
}

} // namespace fz::media::ffmpeg
