// The file object, directory enumeration and path helpers.
//
// Paths use "/" as the only separator; there are no drive prefixes, so
// "a:/b" is two ordinary levels.
#ifndef KRTOOLS_FILE_H
#define KRTOOLS_FILE_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "krtools/exception.h"
#include "krtools/export.h"

// The exception of PXMFile. Its rc is the calling thread's errno read when
// the exception is built (also for violated preconditions); its text is
// "Function: <function>, Filename: <name>, Mode: <mode>\r\n<text>". When a
// runtime call failed, the system error lines of
// KRException::FormatSystemErrorMsg follow.
class KRTOOLS_API PXMFileException : public KRException {
public:
    // All four arguments must be non-null.
    PXMFileException(const char* function, const std::string& fileName, const std::string& mode,
                     const char* text);
};

// One standard-I/O stream with its file name, fopen mode, an optional
// working buffer and three switches (delete-on-close, delete-on-destroy and
// EOF). Every failure throws PXMFileException naming the operation, the file
// and the mode.
//
// The object owns the stream and the working buffer. It cannot be copied
// (two copies would close one stream twice); it can be moved, which leaves
// the source closed, without buffer and with empty name and mode.
//
// The EOF switch is set when a read meets the end of the file or by
// Fseek(-1); while it is set, Fgets and Fread return 0 without reading. Open
// and Rewind clear it.
class KRTOOLS_API PXMFile {
public:
    // No stream, no buffer (bufferSize 0), switches off, empty name and mode.
    PXMFile();
    // As above, storing the name and mode (null counts as empty). Does not
    // open the file.
    PXMFile(const char* fileName, const char* mode);
    // Calls Remove when the delete-on-destroy switch is set, otherwise Close;
    // then frees the working buffer. Failures are swallowed.
    ~PXMFile();

    PXMFile(const PXMFile&) = delete;
    PXMFile& operator=(const PXMFile&) = delete;
    // Takes over the other object's stream, buffer, switches, name and mode.
    PXMFile(PXMFile&& other) noexcept;
    // Releases this object's stream as the destructor would, then takes over
    // the other object's state.
    PXMFile& operator=(PXMFile&& other) noexcept;

    // Opens the stored name with the stored mode (fopen) and clears the EOF
    // switch. Does nothing when a stream is already open. Throws "File name
    // not specified" or "File open mode not specified" for an empty name or
    // mode, "File open failed: " (with system text) when fopen fails.
    void Open();
    // Replaces the stored name and mode (null counts as empty), then Open().
    // On an open object only the stored texts change.
    void Open(const char* fileName, const char* mode);
    // Rewinds an open stream and clears the EOF switch; without a stream it
    // does nothing. Never throws.
    void Rewind();
    // Closes the stream, if any ("File close failed: " when fclose fails; the
    // stream is forgotten either way), then removes the file when the
    // delete-on-close switch is set.
    void Close();
    // Closes the stream, if any (function "Close (Rename)"), then renames the
    // file from the stored name to `newName` when both are non-empty. The
    // stored name is unchanged. Throws "File rename failed, newname =
    // <newName>:" when rename fails.
    void Rename(const char* newName);
    // Closes the stream, if any (function "Close (Remove)"), then deletes the
    // file when the stored name is non-empty ("File remove failed: ").
    void Remove();

    // The stream position. Throws "File not open" without a stream.
    long long Fgetpos();
    // Moves to an absolute position; the EOF switch is unchanged. Throws
    // "File not open" without a stream.
    void Fsetpos(long long position);
    // -1 moves to the end of the file and sets the EOF switch; any other
    // offset moves relative to the current position.
    void Fseek(long offset);
    // fseek by `offset` from `origin` (0 start, 1 current, 2 end). The EOF
    // switch is unchanged.
    void Fseek(int origin, long offset);
    // ftell; "File ftell failed: " when it returns -1.
    long Ftell();
    // Flushes an open stream; without a stream it does nothing.
    void Fflush();

    // Reads one line into the working buffer with fgets (at most
    // bufferSize - 1 characters) and returns the length of the text read.
    // Returns 0 without reading when no stream is open or the EOF switch is
    // set; at end of file it sets the EOF switch and returns 0. Throws "I/O
    // buffer is NULL" without a working buffer, "I/O buffer is too small"
    // when the buffer has no room for a character (size below 1).
    int Fgets();
    // The same into the caller's buffer of `size` bytes.
    int Fgets(char* buffer, int size);
    // Reads up to `count` bytes into the working buffer and returns the
    // count read; a short read sets the EOF switch. Returns 0 at once when no
    // stream is open or the EOF switch is set. Throws "I/O buffer is too
    // small" when count exceeds bufferSize, "Negative byte count" for a
    // count below 0.
    int Fread(int count);
    // The same into the caller's buffer, which must hold `count` bytes.
    int Fread(char* buffer, int count);

    // Writes the working buffer's text up to its terminating zero (never past
    // bufferSize bytes) with fputs and returns the fputs result. Throws "file
    // not open" without a stream.
    int Fputs();
    // The same with the caller's NUL-terminated text.
    int Fputs(const char* text);
    // Writes the first `count` bytes of the working buffer and returns count.
    // Throws "I/O buffer is too small" when count exceeds bufferSize,
    // "Negative byte count" for a count below 0.
    int Fwrite(int count);
    // The same with the caller's data of `count` bytes.
    int Fwrite(const char* data, int count);
    // vfprintf straight to the stream; returns the characters written. Needs
    // a working buffer all the same ("I/O buffer is NULL" without one).
    int Fprintf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Sets bufferSize to `size`, frees the old buffer and allocates `size`
    // uninitialised bytes. Throws function "malloc", "Buffer malloc failed: "
    // when the allocation fails (also for a negative size); the buffer is
    // then null and bufferSize keeps the requested size.
    void AllocateBuffer(int size);
    // Zeroes the whole working buffer, then copies `length` bytes of `data`
    // to its start. Throws "I/O buffer is NULL", "set buffer not specified"
    // (null data), "set length greater than bufferSize" or "set length is
    // negative".
    void SetBuffer(const char* data, int length);
    // Replace the stored mode or name (null counts as empty); an open stream
    // is not touched.
    void SetMode(const char* mode);
    void SetFileName(const char* fileName);
    void SetDeleteOnClose(bool value) { deleteOnClose_ = value; }
    void SetDeleteOnDestroy(bool value) { deleteOnDestroy_ = value; }

    // The working buffer (owned by the object; null while there is none) and
    // its byte count.
    char* GetBuffer() { return buffer_; }
    int GetBufferSize() { return bufferSize; }
    // The open stream (owned by the object), or null.
    FILE* GetFileHandle() { return file_; }
    // The stored name and mode, which callers may change in place.
    std::string& GetFileName() { return fileName_; }
    std::string& GetMode() { return mode_; }
    // The three switches.
    bool GetDeleteOnClose() { return deleteOnClose_; }
    bool GetDeleteOnDestroy() { return deleteOnDestroy_; }
    bool GetEOFSwitch() { return eof_; }

private:
    [[noreturn]] void Fail(const char* function, const char* text) const;
    [[noreturn]] void FailWithSystemText(const char* function, const char* text) const;
    void CloseStream(const char* function);
    void RequireStream(const char* function, const char* text) const;
    bool ReadingStopped() const { return file_ == nullptr || eof_; }
    void ReleaseQuietly() noexcept;

    FILE* file_ = nullptr;
    char* buffer_ = nullptr;
    // The byte count of the working buffer.
    int32_t bufferSize = 0;
    bool deleteOnClose_ = false;
    bool deleteOnDestroy_ = false;
    bool eof_ = false;
    std::string fileName_;
    std::string mode_;
};

namespace krplatform {
class DirectoryListing;
}

// Walks the entries of one directory, one name per Next, "." and ".."
// included, in the order the system lists them. RetrieveAttributes reads the
// status of the current entry. Failures throw KRException (rc, where, what).
// Every operation is virtual so that a derived walker can replace single
// steps. Not copyable (the search would be closed twice); movable.
class KRTOOLS_API KRDIR {
public:
    // Empty names, attributes 0, closed.
    KRDIR();
    // Stores the name and opens: an empty or null name throws
    // (-1, "KRDIR::Open", "Empty directory name").
    explicit KRDIR(const char* dirName);
    // Closes. Not virtual: a derived walker is destroyed through its own type.
    ~KRDIR();
    KRDIR(const KRDIR&) = delete;
    KRDIR& operator=(const KRDIR&) = delete;
    KRDIR(KRDIR&& other) noexcept;
    KRDIR& operator=(KRDIR&& other) noexcept;

    // Stores the name (null counts as empty), then the virtual Open().
    virtual void Open(const char* dirName);
    // Closes an open walk first; throws (-1, "KRDIR::Open", "Empty directory
    // name") for an empty name. The listing itself starts at the first Next.
    virtual void Open();
    // Ends the walk and the listing. Never throws.
    virtual void Close();
    // Closes, then removes the (empty) directory. Does nothing for an empty
    // name. Throws (errno, "KRDIR::Remove", directory name) with system text.
    virtual void Remove();
    // Restarts the walk: the next Next returns the first entry again.
    virtual void Rewind();
    // The next entry name, or null after the last one (and on every later
    // call). Opens first when not open. The pointer is valid until the next
    // call. A listing failure throws (errno, "KRDIR::Next", directory name)
    // with system text and leaves the file name empty.
    virtual const char* Next();
    // Reads the status of "<directory>/<current entry>" into the attributes
    // (of "<directory>/" when there is no current entry). Throws (errno,
    // "KRDIR::RetrieveAttributes", path) with system text; the attributes
    // are then 0.
    virtual void RetrieveAttributes();
    // The directory name; empty when none was given.
    virtual const char* GetDirName();
    // The current entry name; empty before the first Next and after the last.
    virtual const char* GetFileName();
    // The 16 low bits of the file mode.
    virtual int GetMode();
    // The full 32-bit user and group ids.
    virtual int GetOwner();
    virtual int GetGroup();
    // The size in bytes.
    virtual long GetSize();
    // The status change time (st_ctime), in seconds since 1970.
    virtual long GetCreateTime();
    virtual long GetModifyTime();
    virtual long GetAccessTime();

protected:
    int32_t openSwitch = 0;
    std::string dirName;
    std::string fileName;
    int32_t mode = 0;
    int32_t owner = 0;
    int32_t group = 0;
    long size = 0;
    long createTime = 0;
    long modifyTime = 0;
    long accessTime = 0;
    int32_t searchStarted = 0;
    // The open listing; null when none is open.
    std::unique_ptr<krplatform::DirectoryListing> search;

private:
    void ClearAttributes();
};

// Replaces `result` with the directory, a "/" unless the directory already
// ends with one, and the file name; a null or empty directory gives "./" and
// the file name. A null file name counts as empty. Never throws.
KRTOOLS_API void BuildFullyQualifiedFilename(const char* directory, const char* fileName,
                                             std::string& result);

KRTOOLS_EXTERN_C_BEGIN

// Makes sure `path` is a directory, creating that one level (mode 0777 less
// the umask) when it does not exist. Throws (errno, "BuildDirectoryNode",
// "Error creating directory: <path>") with system text when the creation
// fails, and (-1, "BuildDirectoryNode", "Error creating directory:
// <path>\nFilename already exists") when the path exists and is not a
// directory.
KRTOOLS_API void BuildDirectoryNode(const char* path);

// Creates every missing level of `path`, from the first to the last, with
// BuildDirectoryNode; a trailing "/" changes nothing and a leading "/" is not
// a level of its own. The first failure ends the operation; the levels
// created before it stay. A null or empty path does nothing.
KRTOOLS_API void BuildDirectory(const char* path);

// Makes `path` the process's current directory; a null or empty path does
// nothing. Throws (errno, "KRChangeDirectory", "Error changing to directory:
// <path>") with system text.
KRTOOLS_API void KRChangeDirectory(const char* path);

KRTOOLS_EXTERN_C_END

#endif  // KRTOOLS_FILE_H
