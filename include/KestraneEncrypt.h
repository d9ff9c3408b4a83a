/*
 * KestraneEncrypt.h -- scramble and unscramble byte buffers and whole files.
 *
 * The same interface is provided by two shared libraries built from the same
 * sources, KestraneEncrypt and TolvarisEncrypt; link against either.
 *
 * What it is: a light scrambling that keeps stored data from being read
 * directly. What it is not: encryption. Each record is XOR-ed with one byte
 * of a fixed 30-byte table, so anyone who has this library, or a few
 * records, can read the data back.
 *
 * Scrambled record (the byte layout of every scrambled buffer and file):
 *
 *   offset 0     1 byte   key index k, 0..29
 *   offset 1     n bytes  body[i] = plain[i] XOR key[k]
 *
 * A record is always exactly one byte longer than the plain data it holds.
 * There is no magic number, length or check value: any data whose first byte
 * is 0..29 is accepted as a record. The key index comes from the calendar
 * time in seconds, so records written within the same second share it.
 *
 * Conventions shared by every operation:
 *  - Lengths are byte counts in a signed int; data are raw bytes, never text
 *    (zero bytes are ordinary data).
 *  - The only report of failure is a false result. Nothing is thrown,
 *    printed or logged, and no state is kept between calls.
 *  - Every operation may be called from any number of threads at once.
 *  - Result buffers: set the result pointer to NULL before the call to have
 *    the library allocate the result. Such a buffer belongs to the caller
 *    from the moment the call returns and must be given back through
 *    FreeResult -- never free()/delete, since the library's heap need not be
 *    the host's. This applies after a false result too: a failed MemDecrypt
 *    can leave an allocated buffer behind. FreeResult(NULL) does nothing.
 *    A non-NULL result pointer is taken as a caller-supplied buffer that is
 *    large enough; the library writes into it, allocates nothing, checks no
 *    size, and the buffer stays the caller's.
 *
 * This header compiles as C++98 and later.
 */
#ifndef KESTRANE_ENCRYPT_H
#define KESTRANE_ENCRYPT_H

#include "kestrane_export.h"

class KESTRANE_EXPORT CKestraneEncrypt {
public:
    /*
     * MemEncrypt: scramble sourceLength bytes at source into a record of
     * sourceLength + 1 bytes.
     *
     *   source        the plain bytes; read only, owned by the caller.
     *   sourceLength  1 .. 2147483646 (the record length must fit in int).
     *   result        in:  NULL to have the library allocate the record, or
     *                      a caller buffer of at least sourceLength + 1 bytes.
     *                 out: the record.
     *   resultLength  out: sourceLength + 1.
     *
     * The caller buffer may be the source itself shifted one byte back
     * (result == source - 1): each output byte is then written over the input
     * byte it came from, which scrambles a buffer in place.
     *
     * Returns true when the record was written. Returns false when:
     *   - source is NULL, or sourceLength < 1, or sourceLength > 2147483646:
     *     result and resultLength are left untouched;
     *   - the record cannot be allocated: result is NULL and resultLength is
     *     sourceLength + 1.
     */
    static bool MemEncrypt(const char* source, int sourceLength, char*& result, int& resultLength);

    /*
     * MemDecrypt: unscramble a record of sourceLength bytes at source into
     * the sourceLength - 1 plain bytes it holds.
     *
     *   source        the record; read only, owned by the caller.
     *   sourceLength  1 .. 2147483647. A one-byte record holds zero bytes.
     *   result        in:  NULL to have the library allocate the output (a
     *                      valid, non-NULL buffer even when it holds zero
     *                      bytes), or a caller buffer of at least
     *                      sourceLength - 1 bytes.
     *                 out: the plain bytes.
     *   resultLength  out: sourceLength - 1.
     *
     * The caller buffer may be the record itself shifted one byte on
     * (result == source + 1), which unscrambles a buffer in place.
     *
     * Returns true when the plain bytes were written. Returns false when:
     *   - source is NULL or sourceLength < 1: result and resultLength are
     *     left untouched;
     *   - the output cannot be allocated: result is NULL and resultLength is
     *     sourceLength - 1;
     *   - the first byte of source is not a key index (30..255):
     *     resultLength is sourceLength - 1, and result holds the buffer
     *     allocated by this call (release it with FreeResult) or the caller's
     *     buffer, unwritten.
     */
    static bool MemDecrypt(const char* source, int sourceLength, char*& result, int& resultLength);

    /*
     * FreeResult: release a buffer that MemEncrypt or MemDecrypt allocated
     * and set the caller's pointer to NULL. Does nothing when result is NULL,
     * so calling it twice on the same pointer is harmless. Never pass a
     * caller-supplied buffer.
     */
    static void FreeResult(char*& result);

    /*
     * FileEncrypt: scramble the whole file at sourcePath into a file at
     * destinationPath holding one record (one byte longer than the source).
     * FileDecrypt: turn such a file back into the plain file.
     *
     *   sourcePath, destinationPath  narrow, zero-terminated paths, passed to
     *       the platform unchanged. They may name the same file: it is then
     *       scrambled or unscrambled in place.
     *
     * The source is read whole before the destination is touched, and the
     * destination is replaced only once every byte has been written: no
     * call that answers false creates, truncates or partly writes it. A new
     * destination gets the permissions a plain fopen(path, "wb") would give
     * it; an existing one keeps its permissions and, where the process may
     * set them, its owner and group; a symbolic link stays a link and its
     * target receives the content. A destination that is not a regular file
     * (a pipe, a device), or a file in a directory that takes no new file,
     * is written directly. A file with several hard links is replaced, so
     * its other names keep the old content.
     *
     * Returns true once every byte of the result has reached the
     * destination. Returns false, with the destination as it was, when:
     *   - either path is NULL;
     *   - the source cannot be opened, measured or read whole (including a
     *     source that changes size while it is read);
     *   - the source is empty;
     *   - FileEncrypt: the source is larger than 2147483646 bytes;
     *   - FileDecrypt: the first byte of the source is not a key index
     *     (30..255);
     *   - memory for the file cannot be allocated;
     *   - the destination is write-protected, or cannot be created or
     *     written in full (no space, no permission, a missing directory);
     *     for a destination written directly (see above) the bytes already
     *     written stay written.
     */
    static bool FileEncrypt(const char* sourcePath, const char* destinationPath);
    static bool FileDecrypt(const char* sourcePath, const char* destinationPath);

    /* Copies nothing (the class has no data) and returns *this. */
    CKestraneEncrypt& operator=(const CKestraneEncrypt& other);
};

#endif /* KESTRANE_ENCRYPT_H */
