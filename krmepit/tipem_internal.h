// Helpers shared by the toolkit's handle-based objects (internal, not
// installed).
#ifndef KRMEPIT_TIPEM_INTERNAL_H
#define KRMEPIT_TIPEM_INTERNAL_H

#include <cstdint>
#include <new>

#include <openssl/types.h>

#include "krmepit/krmepit_types.h"

namespace krmepit {

// Runs `body` and turns an exception into a status, so none crosses the C
// interface.
template <typename Body>
int Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return KM_ERROR_ALLOC;
    } catch (...) {
        return KM_ERROR_INTERNAL;
    }
}

// The object behind `handle`, or null when the handle is null or names an
// object of another kind (its `magic` tag differs).
template <typename Object>
Object* FromHandle(POINTER handle, uint32_t magic) {
    auto* object = static_cast<Object*>(handle);
    return object != nullptr && object->magic == magic ? object : nullptr;
}

// Creates a new Object at *handle.
template <typename Object>
int CreateHandle(POINTER* handle) {
    if (handle == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    *handle = nullptr;
    return Guarded([&] {
        *handle = new Object;
        return KM_OK;
    });
}

// Releases the Object at *handle (a null handle is harmless) and sets the
// handle to null. The tag is cleared first, so a stale copy of the handle is
// refused afterwards.
template <typename Object>
int DestroyHandle(POINTER* handle, uint32_t magic) {
    if (handle == nullptr) return KM_OK;
    Object* object = FromHandle<Object>(*handle, magic);
    if (object != nullptr) {
        object->magic = 0;
        delete object;
    }
    *handle = nullptr;
    return KM_OK;
}

// An object identifier from its content octets (the caller frees it); null
// when they are not a well-formed identifier.
ASN1_OBJECT* ObjectFromContent(const unsigned char* content, unsigned int length);

}  // namespace krmepit

#endif  // KRMEPIT_TIPEM_INTERNAL_H
