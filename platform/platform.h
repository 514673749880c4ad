// The one seam between krtools and the operating system (POSIX).
//
// Subsystem code never includes an OS header; it calls these functions.
// Functions that can fail return 0 on success or the system error code.
#ifndef KRTOOLS_PLATFORM_PLATFORM_H
#define KRTOOLS_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace krplatform {

// The path separator of this platform.
inline constexpr char kPathSeparator = '/';
inline constexpr const char* kPathSeparatorText = "/";

// The code that ends a directory listing normally (the listing's "no more
// files" condition).
inline constexpr int kNoMoreFiles = 18;

// The calling thread's last system error code (errno).
int LastError();
void SetLastError(int code);

// The system's description of `code` followed by a line feed, or an empty
// text when the system has none (negative or unknown codes).
std::string SystemErrorText(int code);

// Writes "Exception: ", the text and a line feed to standard error.
void ShowErrorMessage(const std::string& text);

// Discards input pending on standard input when it is a terminal; piped or
// redirected input is left alone.
void DiscardPendingTerminalInput();

// The process id.
long ProcessId();

// Current time in seconds since 1970-01-01 00:00:00 UTC.
int64_t CurrentTime();
// Broken-down local time of `t` (localtime_r); false when it cannot be
// represented.
bool ToLocalTime(int64_t t, std::tm* out);
// Broken-down UTC time of `t` (gmtime_r); false when it cannot be represented.
bool ToUtcTime(int64_t t, std::tm* out);
// mktime: local broken-down time to seconds (normalising `tm`); -1 when it
// cannot be represented.
int64_t FromLocalTime(std::tm* tm);

// Status of a file system entry.
struct FileStatus {
    uint32_t mode = 0;
    uint32_t owner = 0;
    uint32_t group = 0;
    int64_t size = 0;
    int64_t changeTime = 0;
    int64_t modifyTime = 0;
    int64_t accessTime = 0;
    bool isDirectory = false;
};

// stat(path); 0 or errno.
int GetFileStatus(const char* path, FileStatus* status);
// mkdir(path, 0777); 0 or errno.
int MakeDirectory(const char* path);
// rmdir(path); 0 or errno.
int RemoveDirectory(const char* path);
// chdir(path); 0 or errno.
int ChangeDirectory(const char* path);
// rename(from, to); 0 or errno.
int RenameFile(const char* from, const char* to);

// A directory listing that delivers every entry, "." and ".." included.
class DirectoryListing {
public:
    DirectoryListing() = default;
    ~DirectoryListing();
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;

    // Starts a listing of `path`, closing any open one; 0 or errno.
    int Open(const char* path);
    // Stores the next entry name in `name`; 0, kNoMoreFiles at the end, or
    // errno. Must follow a successful Open.
    int Next(std::string& name);
    // Ends the listing; harmless when none is open.
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }

private:
    void* handle_ = nullptr;
};

// TCP sockets (IPv4). Functions return 0 or the system error code unless
// they say otherwise.
using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;

// Resolves `host` to its first IPv4 address (network byte order). Returns 0,
// or the resolver's nonzero result code with its text in `errorText`.
int ResolveIPv4(const char* host, uint32_t* address, std::string* errorText);
// The port (host byte order) of `service`: a text of digits is the port
// itself; otherwise the services database; 0 when unknown.
int LookupServicePort(const char* service);
// Opens a TCP socket in *handle (kInvalidSocket on failure).
int OpenTcpSocket(SocketHandle* handle);
// Sets both the send and the receive time-out; 0 seconds means none.
int SetSocketTimeouts(SocketHandle handle, int seconds);
int ConnectSocket(SocketHandle handle, uint32_t address, int port);
// SocketSend sends all `length` bytes (never raising SIGPIPE), going on
// after short sends; SocketReceive receives once. Both retry calls
// interrupted by a signal (EINTR). The byte count, or -1 with the error in
// LastError(); a time-out is an error (EAGAIN).
long SocketSend(SocketHandle handle, const void* data, size_t length);
long SocketReceive(SocketHandle handle, void* buffer, size_t length);
int CloseSocket(SocketHandle handle);
// Waits at most `milliseconds` for input (or end of stream) on the socket:
// 0 when there is some, ETIMEDOUT when none came, or the system error code.
int WaitForSocketInput(SocketHandle handle, int milliseconds);

}  // namespace krplatform

#endif  // KRTOOLS_PLATFORM_PLATFORM_H
