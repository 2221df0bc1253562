#include "protocol/Sha256.h"

#if PINWA_HAVE_OPENSSL
#include <openssl/evp.h>

struct Sha256::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr);
}

void Sha256::addData(QByteArrayView bytes) {
    EVP_DigestUpdate(state_->context, bytes.data(), static_cast<size_t>(bytes.size()));
}

QByteArray Sha256::result() {
    QByteArray digest(32, Qt::Uninitialized);
    unsigned int size = 0;
    EVP_DigestFinal_ex(state_->context, reinterpret_cast<unsigned char*>(digest.data()), &size);
    return digest;
}
#else
#include <QCryptographicHash>

struct Sha256::State {
    QCryptographicHash hash{QCryptographicHash::Sha256};
};

Sha256::Sha256() : state_(std::make_unique<State>()) {}

void Sha256::addData(QByteArrayView bytes) {
    state_->hash.addData(bytes);
}

QByteArray Sha256::result() {
    return state_->hash.result();
}
#endif

Sha256::~Sha256() = default;
