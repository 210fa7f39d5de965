#include "intake/MappedFile.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vex {

namespace {

// Ranges of the mappings open now.  The signal handler may run on any
// thread at any moment, so it reads them without a lock: a slot is claimed
// through InUse, and Begin, published last, makes it count.
struct GuardSlot {
    std::atomic<bool> InUse{false};
    std::atomic<std::uintptr_t> Begin{0};
    std::atomic<std::uintptr_t> End{0};
    std::atomic<bool> Lost{false};
};

// Every card of a batch run on its own thread still needs only one slot.
constexpr std::size_t GuardSlots = 64;
std::array<GuardSlot, GuardSlots> guardSlots;
std::uintptr_t pageSize = 4096;
struct sigaction previousBusAction {};

void onBusError(int signal, siginfo_t *info, void *context)
{
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardSlot &slot : guardSlots) {
        const std::uintptr_t begin = slot.Begin.load(std::memory_order_acquire);
        if (begin == 0 || at < begin || at >= slot.End.load(std::memory_order_acquire))
            continue;
        // The read that faulted runs again on return and finds zeros.
        void *page = reinterpret_cast<void *>(at & ~(pageSize - 1));
        if (::mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            slot.Lost.store(true, std::memory_order_release);
            return;
        }
        break;
    }
    // Not a page of ours: whatever would have happened without the guard.
    if ((previousBusAction.sa_flags & SA_SIGINFO) != 0 && previousBusAction.sa_sigaction != nullptr) {
        previousBusAction.sa_sigaction(signal, info, context);
    } else if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN) {
        previousBusAction.sa_handler(signal);
    } else {
        // The fault recurs on return and ends the process as it always would.
        struct sigaction plain {};
        plain.sa_handler = SIG_DFL;
        ::sigaction(SIGBUS, &plain, nullptr);
    }
}

void installGuard()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        if (const long size = ::sysconf(_SC_PAGESIZE); size > 0)
            pageSize = static_cast<std::uintptr_t>(size);
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousBusAction);
    });
}

int claimGuardSlot(const void *data, std::size_t size)
{
    for (std::size_t i = 0; i < guardSlots.size(); ++i) {
        GuardSlot &slot = guardSlots[i];
        bool free = false;
        if (!slot.InUse.compare_exchange_strong(free, true, std::memory_order_acq_rel))
            continue;
        const auto begin = reinterpret_cast<std::uintptr_t>(data);
        slot.Lost.store(false, std::memory_order_relaxed);
        slot.End.store(begin + size, std::memory_order_release);
        slot.Begin.store(begin, std::memory_order_release);
        return static_cast<int>(i);
    }
    return -1;
}

void releaseGuardSlot(int index)
{
    GuardSlot &slot = guardSlots[static_cast<std::size_t>(index)];
    slot.Begin.store(0, std::memory_order_release);
    slot.End.store(0, std::memory_order_release);
    slot.InUse.store(false, std::memory_order_release);
}

} // namespace

MappedFile::~MappedFile()
{
    close();
}

MappedFile::MappedFile(MappedFile &&other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      fd_(std::exchange(other.fd_, -1)), guard_(std::exchange(other.guard_, -1)), copy_(std::move(other.copy_)),
      fileSize_(other.fileSize_), modifiedSeconds_(other.modifiedSeconds_),
      modifiedNanoseconds_(other.modifiedNanoseconds_)
{}

MappedFile &MappedFile::operator=(MappedFile &&other) noexcept
{
    if (this != &other) {
        close();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        fd_ = std::exchange(other.fd_, -1);
        guard_ = std::exchange(other.guard_, -1);
        copy_ = std::move(other.copy_);
        fileSize_ = other.fileSize_;
        modifiedSeconds_ = other.modifiedSeconds_;
        modifiedNanoseconds_ = other.modifiedNanoseconds_;
    }
    return *this;
}

void MappedFile::close()
{
    // The guard lets go of the range before it is unmapped: the addresses
    // may be another mapping's a moment later.
    if (guard_ >= 0)
        releaseGuardSlot(guard_);
    if (data_ != nullptr && !copy_)
        ::munmap(const_cast<std::uint8_t *>(data_), size_);
    if (fd_ >= 0)
        ::close(fd_);
    data_ = nullptr;
    size_ = 0;
    fd_ = -1;
    guard_ = -1;
    copy_.reset();
}

Status MappedFile::open(const std::string &path)
{
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Status::failure(std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Status::failure("it is not a regular file");
    }
    if (info.st_size <= 0) {
        ::close(fd);
        return Status::failure("the file is empty");
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    installGuard();
    void *data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED) {
        const int error = errno;
        if (error != ENOMEM) {
            Status copied = readCopy(fd, size);
            if (copied.ok())
                noteFile(fd, info);
            else
                ::close(fd);
            return copied;
        }
        ::close(fd);
        return Status::failure(std::strerror(error));
    }
    const int guard = claimGuardSlot(data, size);
    if (guard < 0) {
        ::munmap(data, size);
        ::close(fd);
        return Status::failure("too many files are mapped at once");
    }
    // Pages the mapping reads in come in folios of 2 MB where the system
    // has them, and such a folio is mapped by one entry instead of 512: a
    // card read again costs a tenth of a millisecond to map, not ten.
    (void)::madvise(data, size, MADV_HUGEPAGE);
#if defined(MADV_POPULATE_READ)
    // Mapped now: a card is read from end to end, and one call that maps
    // every page costs far less than a fault for every few of them.  Where
    // the system cannot, the pages come as they are read; a file cut short
    // meanwhile is the guard's.
    (void)::madvise(data, size, MADV_POPULATE_READ);
#endif
    data_ = static_cast<const std::uint8_t *>(data);
    size_ = size;
    guard_ = guard;
    noteFile(fd, info);
    return Status();
}

Status MappedFile::readCopy(int fd, std::size_t size)
{
    std::unique_ptr<std::uint8_t[]> copy(new (std::nothrow) std::uint8_t[size]);
    if (!copy)
        return Status::failure(std::strerror(ENOMEM));
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, copy.get() + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Status::failure(std::strerror(errno));
        if (n == 0)
            return Status::failure("the file was cut short while it was read");
        got += static_cast<std::size_t>(n);
    }
    copy_ = std::move(copy);
    data_ = copy_.get();
    size_ = size;
    return Status();
}

void MappedFile::noteFile(int fd, const struct stat &info)
{
    fd_ = fd;
    fileSize_ = info.st_size;
    modifiedSeconds_ = info.st_mtim.tv_sec;
    modifiedNanoseconds_ = info.st_mtim.tv_nsec;
}

Status MappedFile::intact() const
{
    if (data_ == nullptr)
        return Status::failure("the file is not open");
    struct stat info {};
    const bool lost = guard_ >= 0 && guardSlots[static_cast<std::size_t>(guard_)].Lost.load(std::memory_order_acquire);
    if (lost || ::fstat(fd_, &info) != 0 || info.st_size < fileSize_)
        return Status::failure("the file was cut short while it was read");
    if (info.st_size != fileSize_ || info.st_mtim.tv_sec != modifiedSeconds_ ||
        info.st_mtim.tv_nsec != modifiedNanoseconds_)
        return Status::failure("the file changed while it was read");
    return Status();
}

} // namespace vex
