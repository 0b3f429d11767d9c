#include "bus/visa/Vxi11Reply.h"

namespace velda::visa {

extern "C" bool_t velda_xdr_read_reply(XDR* xdrs, Vxi11ReadReply* reply) {
    if (!xdr_long(xdrs, &reply->error) || !xdr_long(xdrs, &reply->reason))
        return FALSE;
    if (!reply->data)
        return FALSE; // never let the decoder allocate for us
    return xdr_bytes(xdrs, &reply->data, &reply->length, reply->capacity);
}

bool decodeReadReply(const unsigned char* bytes, std::size_t size, Vxi11ReadReply* reply) {
    XDR x;
    xdrmem_create(&x, const_cast<char*>(reinterpret_cast<const char*>(bytes)),
                  static_cast<u_int>(size), XDR_DECODE);
    bool ok = velda_xdr_read_reply(&x, reply);
    xdr_destroy(&x);
    return ok;
}

bool decodeLinkReply(const unsigned char* bytes, std::size_t size, Create_LinkResp* reply) {
    XDR x;
    xdrmem_create(&x, const_cast<char*>(reinterpret_cast<const char*>(bytes)),
                  static_cast<u_int>(size), XDR_DECODE);
    bool ok = xdr_Create_LinkResp(&x, reply);
    xdr_destroy(&x);
    return ok;
}

} // namespace velda::visa
