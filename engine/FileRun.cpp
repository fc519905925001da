// CodeFile: a reader that codes, and a writer, passing a few fixed blocks between them.
#include "FileRun.h"

#include <atomic>
#include <deque>
#include <exception>
#include <memory>
#include <thread>

#include <windows.h>

namespace travok {

namespace {

// A block of the input and how much of it holds data. A count of 0 ends the run: with a
// block, the input ended; without one, the reader stopped short.
struct Filled {
    std::uint8_t* data;
    UINT count;
};

// A queue of blocks between the two threads. Once closed, it hands out what it still
// holds, then nothing. The next block is usually microseconds away, so a taker looks
// again a few times before it sleeps: a sleep and its wake-up cost more than a block's
// copy. The lock and the sleep are the system's slim ones, which need no kernel object.
template <class T>
class Handover {
public:
    Handover() = default;
    Handover(const Handover&) = delete;
    Handover& operator=(const Handover&) = delete;

    void Push(T item) {
        {
            const Locked lock(m_lock);
            m_items.push_back(item);
        }
        WakeConditionVariable(&m_ready);
    }
    // The next item, or false once the queue is closed.
    bool Pop(T& item) {
        for (int look = 0; look < kLooks; ++look) {
            {
                const Locked lock(m_lock);
                if (!m_items.empty() || m_closed) return TakeLocked(item);
            }
            SwitchToThread();
        }
        const Locked lock(m_lock);
        while (m_items.empty() && !m_closed) SleepConditionVariableSRW(&m_ready, &m_lock, INFINITE, 0);
        return TakeLocked(item);
    }
    void Close() {
        {
            const Locked lock(m_lock);
            m_closed = true;
        }
        WakeAllConditionVariable(&m_ready);
    }

private:
    static constexpr int kLooks = 256;

    class Locked {
    public:
        explicit Locked(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
        ~Locked() { ReleaseSRWLockExclusive(&m_lock); }
        Locked(const Locked&) = delete;
        Locked& operator=(const Locked&) = delete;

    private:
        SRWLOCK& m_lock;
    };

    bool TakeLocked(T& item) {
        if (m_items.empty()) return false;
        item = m_items.front();
        m_items.pop_front();
        return true;
    }

    SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_ready = CONDITION_VARIABLE_INIT;
    std::deque<T> m_items;
    bool m_closed = false;
};

// Joins the writer when the reader leaves, by any way. Closing its queue first stops it
// after the blocks already handed over, so the join cannot wait for a block that will
// never come.
class WriterJoin {
public:
    WriterJoin(std::thread& writer, Handover<Filled>& filled) : m_writer(writer), m_filled(filled) {}
    ~WriterJoin() {
        m_filled.Close();
        m_writer.join();
    }
    WriterJoin(const WriterJoin&) = delete;
    WriterJoin& operator=(const WriterJoin&) = delete;

private:
    std::thread& m_writer;
    Handover<Filled>& m_filled;
};

}  // namespace

bool CodeFile(const KeyCoder& coder, CFile& input, CFile& output, RunProgress& progress, KeyWalk walk) {
    // One block being read, one being written, and two to take up the difference in
    // pace. Together they fit in the processor's cache, so a block is still there when
    // it is coded and written. The reads fill the blocks: they need no zeroing first.
    constexpr std::size_t kBlocks = 4;
    const auto memory = std::make_unique_for_overwrite<std::uint8_t[]>(kBlocks * kRunBlock);
    Handover<std::uint8_t*> empty;
    Handover<Filled> filled;
    for (std::size_t i = 0; i < kBlocks; ++i) empty.Push(memory.get() + i * kRunBlock);

    std::exception_ptr writeError;
    std::atomic<bool> writerStopped{false};
    bool complete = false;  // the writer reached the end mark
    std::thread writer([&] {
        // Nothing may leave a thread's function: the process would end. A failed write,
        // or no memory for the queue, stops the writer and is raised by the reader.
        try {
            for (Filled block{}; filled.Pop(block);) {
                if (block.count == 0) {
                    complete = block.data != nullptr;
                    break;
                }
                if (progress.cancel) break;
                output.Write(block.data, block.count);
                progress.done += block.count;
                empty.Push(block.data);
            }
        } catch (...) {
            writeError = std::current_exception();
        }
        writerStopped = true;
        empty.Close();  // wakes the reader, which stops at its next block
    });

    std::exception_ptr readError;
    {
        // Whatever ends the reading, an exception included (the queue allocates), the
        // writer is stopped and joined here: a thread destroyed while joinable ends the
        // process without a word.
        const WriterJoin join(writer, filled);
        std::uint64_t offset = 0;
        bool ended = false;
        std::uint8_t* data = nullptr;
        while (!progress.cancel && !writerStopped && empty.Pop(data)) {
            UINT got = 0;
            try {
                got = input.Read(data, static_cast<UINT>(kRunBlock));
            } catch (...) {
                readError = std::current_exception();
                break;
            }
            if (walk == KeyWalk::Continuous)
                CodeTextBlock(coder, data, got, offset);
            else
                CodeFileBlock(coder, data, got, offset);
            offset += got;
            filled.Push({data, got});
            if (got == 0) {
                ended = true;
                break;
            }
        }
        if (!ended) filled.Push({nullptr, 0});
    }

    if (readError) std::rethrow_exception(readError);
    if (writeError) std::rethrow_exception(writeError);
    return complete;
}

}  // namespace travok
