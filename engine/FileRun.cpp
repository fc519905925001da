// CodeFile: a reader that codes, and a writer, passing a few fixed blocks between them.
#include "FileRun.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace travok {

namespace {

// A block of the input and how much of it holds data. A count of 0 ends the run: with a
// block, the input ended; without one, the reader stopped short.
struct Filled {
    std::uint8_t* data;
    UINT count;
};

// A queue of blocks between the two threads. Once closed, it hands out what it still
// holds, then nothing.
template <class T>
class Handover {
public:
    void Push(T item) {
        {
            std::lock_guard lock(m_mutex);
            m_items.push_back(item);
        }
        m_ready.notify_one();
    }
    // The next item, or false once the queue is closed.
    bool Pop(T& item) {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [&] { return m_closed || !m_items.empty(); });
        if (m_items.empty()) return false;
        item = m_items.front();
        m_items.pop_front();
        return true;
    }
    void Close() {
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_ready.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
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
    // Three blocks: one being read, one being written, one ready in between.
    constexpr std::size_t kBlocks = 3;
    std::vector<std::uint8_t> memory(kBlocks * kRunBlock);
    Handover<std::uint8_t*> empty;
    Handover<Filled> filled;
    for (std::size_t i = 0; i < kBlocks; ++i) empty.Push(memory.data() + i * kRunBlock);

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
