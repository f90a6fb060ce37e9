#include "AsyncResolver.h"

#include "MessageTarget.h"
#include "SocketErrors.h"

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unordered_map>

namespace pw::platform {

namespace {

constexpr int kMaxWorkers = 4;

struct Request {
    MessageTarget* target = nullptr;
    unsigned msg = 0;
    bool byAddr = false;
    QByteArray name;
    std::uint32_t address = 0;
    bool done = false;
    QStringList result;
};

struct Job {
    AsyncResolver::Handle handle;
    bool byAddr;
    QByteArray name;
    std::uint32_t address;
};

int LookUpName(const QByteArray& name, QStringList& out)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM; // one entry per address
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(name.constData(), nullptr, &hints, &list);
    if (rc != 0)
        return SocketErrorFromGai(rc, errno);
    for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET || !ai->ai_addr)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* sin = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
        if (::inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text)) {
            const QString dotted = QString::fromLatin1(text);
            if (!out.contains(dotted))
                out << dotted;
        }
    }
    ::freeaddrinfo(list);
    return out.isEmpty() ? WSANO_DATA : 0;
}

int LookUpAddress(std::uint32_t address, QStringList& out)
{
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = address;
    char host[NI_MAXHOST] = {};
    const int rc = ::getnameinfo(reinterpret_cast<const sockaddr*>(&sin), sizeof sin, host, sizeof host,
                                 nullptr, 0, NI_NAMEREQD);
    if (rc != 0)
        return SocketErrorFromGai(rc, errno);
    out << QString::fromLocal8Bit(host);
    return 0;
}

// Never destroyed: a lookup blocked in the system resolver must not hold up the exit.
class Resolver {
public:
    static Resolver& Instance()
    {
        static auto* instance = new Resolver;
        return *instance;
    }

    AsyncResolver::Handle Start(MessageTarget* target, unsigned msg, bool byAddr, QByteArray name,
                                std::uint32_t address)
    {
        std::unique_lock lock(mutex_);
        const AsyncResolver::Handle handle = ++lastHandle_;
        Request& r = requests_[handle];
        r.target = target;
        r.msg = msg;
        r.byAddr = byAddr;
        jobs_.push_back(Job{handle, byAddr, std::move(name), address});
        if (idle_ == 0 && workers_ < kMaxWorkers) {
            ++workers_;
            ++idle_;
            std::thread([this] { Work(); }).detach();
        }
        wake_.notify_one();
        return handle;
    }

    bool Cancel(AsyncResolver::Handle handle)
    {
        std::lock_guard lock(mutex_);
        return requests_.erase(handle) != 0;
    }

    QStringList Take(AsyncResolver::Handle handle)
    {
        std::lock_guard lock(mutex_);
        auto it = requests_.find(handle);
        if (it == requests_.end() || !it->second.done)
            return {};
        QStringList result = std::move(it->second.result);
        requests_.erase(it);
        return result;
    }

    int Outstanding()
    {
        std::lock_guard lock(mutex_);
        return static_cast<int>(requests_.size());
    }

private:
    void Work()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return !jobs_.empty(); });
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            if (requests_.find(job.handle) == requests_.end())
                continue; // cancelled before it started
            --idle_;
            lock.unlock();
            QStringList result;
            const int error = job.byAddr ? LookUpAddress(job.address, result) : LookUpName(job.name, result);
            lock.lock();
            ++idle_;
            auto it = requests_.find(job.handle);
            if (it == requests_.end())
                continue; // cancelled meanwhile: nothing is posted
            it->second.done = true;
            it->second.result = std::move(result);
            // Posted under the lock, so a target cannot go away between the check and the post.
            it->second.target->Post(it->second.msg, static_cast<WParam>(job.handle),
                                    static_cast<LParam>(static_cast<std::uint64_t>(error & 0xFFFF) << 16));
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    std::unordered_map<AsyncResolver::Handle, Request> requests_;
    AsyncResolver::Handle lastHandle_ = 0;
    int workers_ = 0;
    int idle_ = 0;
};

} // namespace

AsyncResolver::Handle AsyncResolver::StartHostByName(MessageTarget* target, unsigned msg, const QString& name)
{
    return Resolver::Instance().Start(target, msg, false, name.toUtf8(), 0);
}

AsyncResolver::Handle AsyncResolver::StartHostByAddr(MessageTarget* target, unsigned msg,
                                                     std::uint32_t address)
{
    return Resolver::Instance().Start(target, msg, true, {}, address);
}

bool AsyncResolver::Cancel(Handle handle)
{
    return Resolver::Instance().Cancel(handle);
}

QStringList AsyncResolver::TakeResult(Handle handle)
{
    return Resolver::Instance().Take(handle);
}

int AsyncResolver::Outstanding()
{
    return Resolver::Instance().Outstanding();
}

} // namespace pw::platform
