// The armed faults and the --wrap wrappers of every call the library makes
// to the system or the C runtime's file and memory functions.
#include "fault_plan.h"

#include <dirent.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <thread>

namespace faults {
namespace {

struct Plan {
    int skip = 0;
    int times = 0;
    int code = 0;      // errno of a failure; 0 for a short transfer
    size_t limit = 0;  // bytes a short transfer moves
};

struct State {
    std::mutex lock;
    std::thread::id owner;  // only the arming thread's calls are touched
    std::map<std::string, Plan> plans;
    std::map<std::string, int> calls;
};

State& Global() {
    static State* state = new State;  // never destroyed: wrappers run at exit
    return *state;
}

void Arm(const std::string& call, Plan plan) {
    State& s = Global();
    std::lock_guard<std::mutex> guard(s.lock);
    s.owner = std::this_thread::get_id();
    s.plans[call] = plan;
}

}  // namespace

void Fail(const std::string& call, int code, int skip, int times) {
    Arm(call, Plan{skip, times, code, 0});
}

void Shorten(const std::string& call, size_t limit, int times) {
    Arm(call, Plan{0, times, 0, limit});
}

int Calls(const std::string& call) {
    State& s = Global();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.calls[call];
}

void Reset() {
    State& s = Global();
    std::lock_guard<std::mutex> guard(s.lock);
    s.owner = std::this_thread::get_id();
    s.plans.clear();
    s.calls.clear();
}

// The plan that applies to this call of `call`, counted; null to pass it on.
const Plan* Take(const char* call) {
    State& s = Global();
    std::lock_guard<std::mutex> guard(s.lock);
    if (std::this_thread::get_id() != s.owner) return nullptr;
    ++s.calls[call];
    auto found = s.plans.find(call);
    if (found == s.plans.end() || found->second.times == 0) return nullptr;
    Plan& plan = found->second;
    if (plan.skip > 0) {
        --plan.skip;
        return nullptr;
    }
    if (plan.times > 0) --plan.times;
    return &plan;
}

}  // namespace faults

using faults::Take;

// Sets errno and returns `result` when the call is armed with a failure.
#define FAIL_WITH(call, result)                                 \
    if (const faults::Plan* plan = Take(call)) {                \
        if (plan->code != 0) return errno = plan->code, result; \
    }

// A short transfer's byte count, or `asked` when none is armed; a failure
// returns from the wrapper.
#define LIMIT_OR_FAIL(call, asked, result)                      \
    size_t allowed = asked;                                     \
    if (const faults::Plan* plan = Take(call)) {                \
        if (plan->code != 0) return errno = plan->code, result; \
        if (plan->limit < allowed) allowed = plan->limit;       \
    }

extern "C" {

FILE* __real_fopen(const char*, const char*);
int __real_fclose(FILE*);
size_t __real_fread(void*, size_t, size_t, FILE*);
size_t __real_fwrite(const void*, size_t, size_t, FILE*);
char* __real_fgets(char*, int, FILE*);
int __real_fputs(const char*, FILE*);
int __real_fflush(FILE*);
int __real_fseek(FILE*, long, int);
long __real_ftell(FILE*);
int __real_fgetpos(FILE*, fpos_t*);
int __real_vfprintf(FILE*, const char*, va_list);
int __real_remove(const char*);
int __real_rename(const char*, const char*);
void* __real_malloc(size_t);
int __real_stat(const char*, struct stat*);
int __real_mkdir(const char*, mode_t);
int __real_rmdir(const char*);
int __real_chdir(const char*);
DIR* __real_opendir(const char*);
struct dirent* __real_readdir(DIR*);
int __real_getaddrinfo(const char*, const char*, const struct addrinfo*, struct addrinfo**);
int __real_socket(int, int, int);
int __real_setsockopt(int, int, int, const void*, socklen_t);
int __real_connect(int, const struct sockaddr*, socklen_t);
ssize_t __real_send(int, const void*, size_t, int);
ssize_t __real_recv(int, void*, size_t, int);
int __real_close(int);
int __real_poll(struct pollfd*, nfds_t, int);
int __real_getchar();
struct tm* __real_gmtime_r(const time_t*, struct tm*);
struct tm* __real_localtime_r(const time_t*, struct tm*);
time_t __real_mktime(struct tm*);

FILE* __wrap_fopen(const char* path, const char* mode) {
    FAIL_WITH("fopen", nullptr);
    return __real_fopen(path, mode);
}

// fclose releases the stream whatever it reports.
int __wrap_fclose(FILE* stream) {
    const faults::Plan* plan = Take("fclose");
    const int result = __real_fclose(stream);
    if (plan != nullptr && plan->code != 0) return errno = plan->code, EOF;
    return result;
}

// A failed read or write sets the stream's error indicator, as a real one does.
size_t __wrap_fread(void* buffer, size_t size, size_t count, FILE* stream) {
    if (const faults::Plan* plan = Take("fread")) {
        stream->_flags |= _IO_ERR_SEEN;
        errno = plan->code;
        return 0;
    }
    return __real_fread(buffer, size, count, stream);
}

size_t __wrap_fwrite(const void* data, size_t size, size_t count, FILE* stream) {
    LIMIT_OR_FAIL("fwrite", count, 0);
    const size_t written = __real_fwrite(data, size, allowed, stream);
    if (allowed < count) stream->_flags |= _IO_ERR_SEEN, errno = ENOSPC;
    return written;
}

char* __wrap_fgets(char* buffer, int size, FILE* stream) {
    if (const faults::Plan* plan = Take("fgets")) {
        stream->_flags |= _IO_ERR_SEEN;
        errno = plan->code;
        return nullptr;
    }
    return __real_fgets(buffer, size, stream);
}

int __wrap_fputs(const char* text, FILE* stream) {
    FAIL_WITH("fputs", EOF);
    return __real_fputs(text, stream);
}

int __wrap_fflush(FILE* stream) {
    FAIL_WITH("fflush", EOF);
    return __real_fflush(stream);
}

int __wrap_fseek(FILE* stream, long offset, int origin) {
    FAIL_WITH("fseek", -1);
    return __real_fseek(stream, offset, origin);
}

long __wrap_ftell(FILE* stream) {
    FAIL_WITH("ftell", -1L);
    return __real_ftell(stream);
}

int __wrap_fgetpos(FILE* stream, fpos_t* position) {
    FAIL_WITH("fgetpos", -1);
    return __real_fgetpos(stream, position);
}

int __wrap_vfprintf(FILE* stream, const char* format, va_list args) {
    FAIL_WITH("vfprintf", -1);
    return __real_vfprintf(stream, format, args);
}

int __wrap_remove(const char* path) {
    FAIL_WITH("remove", -1);
    return __real_remove(path);
}

int __wrap_rename(const char* from, const char* to) {
    FAIL_WITH("rename", -1);
    return __real_rename(from, to);
}

void* __wrap_malloc(size_t size) {
    FAIL_WITH("malloc", nullptr);
    return __real_malloc(size);
}

int __wrap_stat(const char* path, struct stat* status) {
    FAIL_WITH("stat", -1);
    return __real_stat(path, status);
}

int __wrap_mkdir(const char* path, mode_t mode) {
    FAIL_WITH("mkdir", -1);
    return __real_mkdir(path, mode);
}

int __wrap_rmdir(const char* path) {
    FAIL_WITH("rmdir", -1);
    return __real_rmdir(path);
}

int __wrap_chdir(const char* path) {
    FAIL_WITH("chdir", -1);
    return __real_chdir(path);
}

DIR* __wrap_opendir(const char* path) {
    FAIL_WITH("opendir", nullptr);
    return __real_opendir(path);
}

struct dirent* __wrap_readdir(DIR* dir) {
    FAIL_WITH("readdir", nullptr);
    return __real_readdir(dir);
}

// A failure is the resolver's own code (EAI_...), not an errno.
int __wrap_getaddrinfo(const char* host, const char* service, const struct addrinfo* hints,
                       struct addrinfo** found) {
    if (const faults::Plan* plan = Take("getaddrinfo")) return plan->code;
    return __real_getaddrinfo(host, service, hints, found);
}

int __wrap_socket(int domain, int type, int protocol) {
    FAIL_WITH("socket", -1);
    return __real_socket(domain, type, protocol);
}

int __wrap_setsockopt(int handle, int level, int name, const void* value, socklen_t length) {
    FAIL_WITH("setsockopt", -1);
    return __real_setsockopt(handle, level, name, value, length);
}

int __wrap_connect(int handle, const struct sockaddr* address, socklen_t length) {
    FAIL_WITH("connect", -1);
    return __real_connect(handle, address, length);
}

ssize_t __wrap_send(int handle, const void* data, size_t length, int flags) {
    LIMIT_OR_FAIL("send", length, -1);
    return __real_send(handle, data, allowed, flags);
}

ssize_t __wrap_recv(int handle, void* buffer, size_t length, int flags) {
    LIMIT_OR_FAIL("recv", length, -1);
    return __real_recv(handle, buffer, allowed, flags);
}

int __wrap_poll(struct pollfd* entries, nfds_t count, int milliseconds) {
    FAIL_WITH("poll", -1);
    return __real_poll(entries, count, milliseconds);
}

// close releases the descriptor whatever it reports.
int __wrap_close(int handle) {
    const faults::Plan* plan = Take("close");
    const int result = __real_close(handle);
    if (plan != nullptr && plan->code != 0) return errno = plan->code, -1;
    return result;
}

// End of input or a read error: EOF either way, errno tells them apart.
int __wrap_getchar() {
    FAIL_WITH("getchar", EOF);
    return __real_getchar();
}

struct tm* __wrap_gmtime_r(const time_t* seconds, struct tm* out) {
    FAIL_WITH("gmtime_r", nullptr);
    return __real_gmtime_r(seconds, out);
}

struct tm* __wrap_localtime_r(const time_t* seconds, struct tm* out) {
    FAIL_WITH("localtime_r", nullptr);
    return __real_localtime_r(seconds, out);
}

time_t __wrap_mktime(struct tm* fields) {
    FAIL_WITH("mktime", static_cast<time_t>(-1));
    return __real_mktime(fields);
}

}  // extern "C"
