#include "simlink/simconnect/transport.h"

#include <algorithm>

#include "foundation/log.h"

SimConnectTransport::SimConnectTransport(Kind kind, uint32_t maxReceiveSize,
                                         std::shared_ptr<ScReceiveQueue> receiveQueue)
    : kind_(kind), receiveQueue_(std::move(receiveQueue)), framer_(maxReceiveSize)
{
}

SimConnectTransport::~SimConnectTransport() = default;

ScHresult SimConnectTransport::recordedError() const
{
    std::lock_guard lock(sendQueueMutex_);
    return recordedError_;
}

ScCloseReason SimConnectTransport::closeReason() const
{
    std::lock_guard lock(sendQueueMutex_);
    return closeReason_;
}

bool SimConnectTransport::hasUnsentPackets() const
{
    std::lock_guard lock(sendQueueMutex_);
    return writing_ || !sendQueue_.empty();
}

void SimConnectTransport::send(ScPacketPtr packet)
{
    {
        std::lock_guard lock(sendQueueMutex_);
        if (state_.load() != State::Connected)
            return;
        sendQueue_.push_back(std::move(packet));
        if (writing_)
            return;
        writing_ = true;
        fillInFlight();
    }
    runWrites();
}

void SimConnectTransport::fillInFlight()
{
    const size_t n = std::min(sendQueue_.size(), writeBatchLimit());
    for (size_t i = 0; i < n; ++i) {
        inFlight_.push_back(std::move(sendQueue_.front()));
        sendQueue_.pop_front();
    }
}

void SimConnectTransport::runWrites()
{
    for (;;) {
        switch (startWrite(inFlight_)) {
        case WriteStart::Pending:
            return;
        case WriteStart::Failed:
            endWrites();
            return;
        case WriteStart::Done:
            if (!takeNextBatch())
                return;
            break;
        }
    }
}

bool SimConnectTransport::takeNextBatch()
{
    std::lock_guard lock(sendQueueMutex_);
    inFlight_.clear();
    if (sendQueue_.empty() || state_.load() != State::Connected) {
        writing_ = false;
        return false;
    }
    fillInFlight();
    return true;
}

void SimConnectTransport::endWrites()
{
    std::lock_guard lock(sendQueueMutex_);
    inFlight_.clear();
    writing_ = false;
}

void SimConnectTransport::writeCompleted(bool ok)
{
    if (!ok) {
        endWrites();
        return;
    }
    if (takeNextBatch())
        runWrites();
}

void SimConnectTransport::bytesReceived(size_t count)
{
    if (const auto failure = framer_.commit(count, *receiveQueue_))
        close(failure->reason, failure->status);
}

void SimConnectTransport::close(ScCloseReason reason, ScHresult status)
{
    std::deque<ScPacketPtr> unsent;
    const ScHresult recorded = gf_scFailed(status) ? status : g_scFail;
    {
        std::lock_guard lock(sendQueueMutex_);
        if (state_.load() == State::Closed)
            return;
        state_.store(State::Closed);
        if (reason != ScCloseReason::None) {
            closeReason_ = reason;
            recordedError_ = recorded;
            failed_.store(true, std::memory_order_release);
        }
        unsent.swap(sendQueue_);
    }
    if (reason != ScCloseReason::None) {
        gf_logErrorLine("SimConnect connection lost: reason {}, error 0x{:08X}", static_cast<uint32_t>(reason),
                        static_cast<uint32_t>(recorded));
        receiveQueue_->notify();
    }
    closeHandles();
}
