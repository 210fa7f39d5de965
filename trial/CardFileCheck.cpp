#include "trial/CardFileCheck.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vex {

namespace {

struct DigestDeleter {
    void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
};

// The file's size when it is a regular file, else -1.
std::int64_t regularFileSize(const std::string &path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return static_cast<std::int64_t>(info.st_size);
}

// The digest in lower-case hex; empty when it cannot be had.
std::string finalHex(EVP_MD_CTX *context)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context, digest, &length) != 1)
        return {};
    return hexDigits(digest, length);
}

} // namespace

std::string pictureToCutAgain(const CardRecord &card)
{
    if (!card.Source || card.FileState != CardFileState::Missing || regularFileSize(card.Source->PicturePath) < 0 ||
        ::access(card.Source->PicturePath.c_str(), R_OK) != 0)
        return {};
    return card.Source->PicturePath;
}

std::string fileSha256(const std::string &path, std::string &error)
{
    error.clear();
    // Opened without waiting, and only a regular file is read: a pipe or a
    // device under a card's name would be read for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno == ENOENT ? std::string("the file does not exist") : std::strerror(errno);
        return {};
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "it is not a regular file";
        ::close(fd);
        return {};
    }
    const std::unique_ptr<EVP_MD_CTX, DigestDeleter> context(EVP_MD_CTX_new());
    bool hashing = context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) == 1;
    std::vector<unsigned char> block(std::size_t{1} << 20);
    while (hashing) {
        const ssize_t n = ::read(fd, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = std::strerror(errno);
        if (n <= 0)
            break;
        hashing = EVP_DigestUpdate(context.get(), block.data(), static_cast<std::size_t>(n)) == 1;
    }
    ::close(fd);
    const std::string hex = hashing && error.empty() ? finalHex(context.get()) : std::string();
    if (error.empty() && hex.empty())
        error = "the checksum could not be computed";
    return error.empty() ? hex : std::string();
}

std::string sha256Hex(const std::uint8_t *data, std::size_t size)
{
    const std::unique_ptr<EVP_MD_CTX, DigestDeleter> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), data, size) != 1)
        return {};
    return finalHex(context.get());
}

CardFileState cardFileState(const CardRecord &card)
{
    const std::int64_t size = regularFileSize(card.FilePath);
    if (size < 0)
        return CardFileState::Missing;
    if (card.FileSize >= 0 && size != card.FileSize)
        return CardFileState::Changed;
    if (card.ContentHash.empty())
        return CardFileState::Present;
    std::string error;
    const std::string hash = fileSha256(card.FilePath, error);
    if (!error.empty())
        return CardFileState::Missing;
    return hash == card.ContentHash ? CardFileState::Present : CardFileState::Changed;
}

void checkCardFiles(Trial &trial, const std::function<bool(int done, int total)> &progress)
{
    int total = 0;
    for (const LinePass &pass : trial.Passes)
        total += pass.Cards.count();
    int done = 0;
    for (LinePass &pass : trial.Passes) {
        for (CardRecord &card : pass.Cards.records()) {
            card.FileState = cardFileState(card);
            if (progress && progress(++done, total))
                return;
        }
    }
}

Status noteCardFile(CardRecord &card)
{
    std::string error;
    const std::string hash = fileSha256(card.FilePath, error);
    const std::int64_t size = regularFileSize(card.FilePath);
    if (!error.empty() || size < 0)
        return Status::failure(card.FileTitle + " could not be read: " + (error.empty() ? "it has gone" : error));
    card.FileSize = size;
    card.ContentHash = hash;
    return {};
}

Status noteCardFile(CardRecord &card, const DecodeResult &decoded)
{
    const std::shared_ptr<const MappedFile> &source = decoded->Source;
    if (!source || !source->isOpen())
        return noteCardFile(card);
    // Checked after the hash too: bytes rewritten in place while they were
    // hashed are no version of the file at all.
    Status whole = source->intact();
    const std::string hash = whole.ok() ? sha256Hex(source->data(), source->size()) : std::string();
    if (whole.ok())
        whole = source->intact();
    if (!whole.ok() || hash.empty())
        return Status::failure(card.FileTitle + " could not be read: " +
                               (whole.ok() ? std::string("the checksum could not be computed") : whole.reason()));
    card.FileSize = static_cast<std::int64_t>(source->size());
    card.ContentHash = hash;
    return {};
}

std::string hexDigits(const unsigned char *bytes, std::size_t size)
{
    static const char *digits = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * size);
    for (std::size_t i = 0; i < size; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 0x0F];
    }
    return hex;
}

} // namespace vex
