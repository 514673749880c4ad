// The DES CBC-MAC over the cipher context.
#include <algorithm>
#include <cstring>

#include "krtools/des.h"

namespace {

constexpr int kPieceSize = 32768;
constexpr int32_t kRefused = -1;

bool RefusedDes(const EncryptContext* ctx) {
    return ctx->desRefused != 0 && (ctx->mode == 'D' || ctx->mode == 'd');
}

}  // namespace

extern "C" {

void DESAuthInit(EncryptContext* ctx) {
    if (ctx == nullptr) return;
    if (RefusedDes(ctx)) {
        ctx->status = kRefused;
        return;
    }
    ctx->mode = 'D';
    EncryptInit(ctx);
}

void DESAuthUpdate(EncryptContext* ctx, const unsigned char* data, int len) {
    if (ctx == nullptr || data == nullptr || len < 1) return;
    // The ciphertext goes to a private buffer and is dropped; only the chain
    // carries on from piece to piece.
    unsigned char piece[kPieceSize];
    bool refused = false;
    while (len > 0) {
        const int size = std::min(len, kPieceSize);
        std::memcpy(piece, data, static_cast<size_t>(size));
        int produced = size;
        EncryptUpdate(ctx, piece, &produced);
        refused = refused || ctx->status == kRefused;
        data += size;
        len -= size;
    }
    if (refused) ctx->status = kRefused;
}

void DESAuthFinal(EncryptContext* ctx) {
    if (ctx == nullptr) return;
    if (RefusedDes(ctx)) {
        std::memcpy(ctx->authTrailer, "LAST    ", sizeof ctx->authTrailer);
        ctx->status = kRefused;
        return;
    }
    EncryptFinal(ctx, 1, 0);
}

}  // extern "C"
