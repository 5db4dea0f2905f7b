// Test certificates made at run time with OpenSSL: a CA trusted for the
// test only and server certificates it issues (valid, expired, for another
// name, self-signed). Keys live only in the test's temporary directory.
// Header-only: the support library does not link OpenSSL, the TLS tests do.
#pragma once

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

struct TTlsCertFiles {
    std::string Cert; // PEM path
    std::string Key;  // PEM path
};

class TTlsTestPki {
public:
    // Creates a CA named caName and writes its certificate to dir/<caName>.pem.
    TTlsTestPki(const std::string& dir, const std::string& caName = "Quillet Test CA")
        : FDir(dir), FCAKey(NewKey()) {
        FCACert = Build(caName, {}, FCAKey, nullptr, nullptr, -1, 3650, true);
        CAFile = dir + "/" + FileName(caName) + ".pem";
        WriteCert(CAFile, FCACert);
    }
    ~TTlsTestPki() {
        X509_free(FCACert);
        EVP_PKEY_free(FCAKey);
    }
    TTlsTestPki(const TTlsTestPki&) = delete;
    TTlsTestPki& operator=(const TTlsTestPki&) = delete;

    // A server certificate for the subject alternative names (each
    // "DNS:name" or "IP:addr"), valid from fromDays to toDays around now;
    // selfSigned: signed with its own key instead of the CA's.
    TTlsCertFiles Issue(const std::string& fileName, const std::vector<std::string>& altNames,
                        long fromDays = -1, long toDays = 365, bool selfSigned = false) {
        EVP_PKEY* key = NewKey();
        X509* cert = Build(fileName, altNames, key, selfSigned ? nullptr : FCACert,
                           selfSigned ? key : FCAKey, fromDays, toDays, false);
        TTlsCertFiles files{FDir + "/" + fileName + ".crt", FDir + "/" + fileName + ".key"};
        WriteCert(files.Cert, cert);
        FILE* f = std::fopen(files.Key.c_str(), "w");
        if (!f || PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
            throw std::runtime_error("cannot write " + files.Key);
        std::fclose(f);
        X509_free(cert);
        EVP_PKEY_free(key);
        return files;
    }

    std::string CAFile;

private:
    static std::string FileName(const std::string& name) {
        std::string s = name;
        for (char& c : s)
            if (c == ' ')
                c = '_';
        return s;
    }
    static EVP_PKEY* NewKey() {
        EVP_PKEY* key = EVP_EC_gen("P-256");
        if (!key)
            throw std::runtime_error("cannot make a test key");
        return key;
    }
    static void AddExt(X509* cert, X509* issuer, int nid, const std::string& value) {
        X509V3_CTX ctx;
        X509V3_set_ctx_nodb(&ctx);
        X509V3_set_ctx(&ctx, issuer ? issuer : cert, cert, nullptr, nullptr, 0);
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
        if (!ext)
            throw std::runtime_error("bad certificate extension " + value);
        X509_add_ext(cert, ext, -1);
        X509_EXTENSION_free(ext);
    }
    X509* Build(const std::string& cn, const std::vector<std::string>& altNames, EVP_PKEY* key,
                X509* issuer, EVP_PKEY* signKey, long fromDays, long toDays, bool ca) {
        X509* cert = X509_new();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), ++FSerial);
        X509_gmtime_adj(X509_getm_notBefore(cert), fromDays * 86400L);
        X509_gmtime_adj(X509_getm_notAfter(cert), toDays * 86400L);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(cn.c_str()), -1, -1, 0);
        X509_set_issuer_name(cert, issuer ? X509_get_subject_name(issuer) : name);
        if (ca) {
            AddExt(cert, issuer, NID_basic_constraints, "critical,CA:TRUE");
            AddExt(cert, issuer, NID_key_usage, "critical,keyCertSign,cRLSign");
        } else {
            AddExt(cert, issuer, NID_basic_constraints, "CA:FALSE");
            AddExt(cert, issuer, NID_ext_key_usage, "serverAuth");
        }
        AddExt(cert, issuer, NID_subject_key_identifier, "hash");
        std::string sans;
        for (const std::string& n : altNames)
            sans += (sans.empty() ? "" : ",") + n;
        if (!sans.empty())
            AddExt(cert, issuer, NID_subject_alt_name, sans);
        if (X509_sign(cert, signKey ? signKey : key, EVP_sha256()) == 0)
            throw std::runtime_error("cannot sign the test certificate " + cn);
        return cert;
    }
    static void WriteCert(const std::string& path, X509* cert) {
        FILE* f = std::fopen(path.c_str(), "w");
        if (!f || PEM_write_X509(f, cert) != 1)
            throw std::runtime_error("cannot write " + path);
        std::fclose(f);
    }

    std::string FDir;
    EVP_PKEY* FCAKey;
    X509* FCACert = nullptr;
    long FSerial = 0;
};
