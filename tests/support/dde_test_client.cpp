// A plain DDEML client of the test's own, independent of the plugin's host
// link: one conversation, executes waited for with the message pump, status
// requests, and the palette round trips built from them.
#include "test_support.h"

#include <cstring>

DdeTestClient ddeTestClient;

static HDDEDATA CALLBACK testClientCallback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA data,
                                            ULONG_PTR, ULONG_PTR) {
    switch (type) {
    case XTYP_XACT_COMPLETE:
        ddeTestClient.completed = true;
        ddeTestClient.completionData = data;
        return nullptr;
    case XTYP_DISCONNECT:
        ddeTestClient.disconnected = true;
        ddeTestClient.conversation = nullptr;
        return nullptr;
    default:
        return nullptr;
    }
}

bool runningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool connectTestClient(const char* service, const char* topic) {
    DdeTestClient& client = ddeTestClient;
    if (client.instance) disconnectTestClient();
    if (DdeInitializeA(&client.instance, testClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        client.instance = 0;
        return false;
    }
    client.service = DdeCreateStringHandleA(client.instance, service, CP_WINANSI);
    client.topic = DdeCreateStringHandleA(client.instance, topic, CP_WINANSI);
    client.item = DdeCreateStringHandleA(client.instance, "ImageServerItem", CP_WINANSI);
    client.disconnected = false;
    client.conversation = DdeConnect(client.instance, client.service, client.topic, nullptr);
    if (!client.conversation) client.lastError = DdeGetLastError(client.instance);
    return client.conversation != nullptr;
}

void disconnectTestClient() {
    DdeTestClient& client = ddeTestClient;
    if (!client.instance) return;
    if (client.conversation) DdeDisconnect(client.conversation);
    DdeFreeStringHandle(client.instance, client.service);
    DdeFreeStringHandle(client.instance, client.topic);
    DdeFreeStringHandle(client.instance, client.item);
    DdeUninitialize(client.instance);
    client = DdeTestClient();
}

bool executeHostCommand(const char* command, DWORD timeoutMs) {
    DdeTestClient& client = ddeTestClient;
    if (!client.conversation) return false;
    client.completed = false;
    client.completionData = nullptr;
    DWORD transaction = 0;
    const HDDEDATA started = DdeClientTransaction(
        reinterpret_cast<LPBYTE>(const_cast<char*>(command)), DWORD(strlen(command) + 1),
        client.conversation, client.item, CF_TEXT, XTYP_EXECUTE, TIMEOUT_ASYNC, &transaction);
    if (!started) {
        client.lastError = DdeGetLastError(client.instance);
        return false;
    }
    const DWORD start = GetTickCount();
    while (!client.completed && GetTickCount() - start < timeoutMs) pumpMessagesFor(1);
    // Wine keeps even a completed asynchronous transaction at the head of the
    // queue and matches later replies against it; its abandon compares the
    // id that it keeps in the high word.
    if (client.conversation)
        DdeAbandonTransaction(client.instance, client.conversation,
                              runningUnderWine() ? HIWORD(transaction) : transaction);
    return client.completed;
}

bool testClientConnected() {
    DdeTestClient& client = ddeTestClient;
    if (!client.conversation) return false;
    CONVINFO info = {};
    info.cb = sizeof info;
    // Wine's client does not report a conversation the server ended through
    // XTYP_DISCONNECT; its status flags show it.
    return DdeQueryConvInfo(client.conversation, QID_SYNC, &info) && (info.wStatus & ST_CONNECTED);
}

bool lastExecuteAcknowledged() {
    return ddeTestClient.completed && ddeTestClient.completionData != nullptr;
}

bool requestHostStatus(std::string& reply, DWORD timeoutMs) {
    DdeTestClient& client = ddeTestClient;
    reply.clear();
    if (!client.conversation) return false;
    // Wine's DDEML server follows the data of every request with an ACK. A
    // request started while that ACK is still queued takes it for its own
    // (negative) answer, so the queue is emptied first.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    HDDEDATA data = DdeClientTransaction(nullptr, 0, client.conversation, client.item, CF_TEXT,
                                         XTYP_REQUEST, timeoutMs, nullptr);
    if (!data) {
        client.lastError = DdeGetLastError(client.instance);
        return false;
    }
    const DWORD size = DdeGetData(data, nullptr, 0, 0);
    reply.assign(size, '\0');
    if (size) DdeGetData(data, reinterpret_cast<LPBYTE>(&reply[0]), size, 0);
    DdeFreeDataHandle(data);
    const size_t end = reply.find('\0');
    if (end != std::string::npos) reply.resize(end);
    return true;
}

// Executes `command` and requires a status reply that begins with "OK".
static bool commandSucceeds(const char* command) {
    std::string status;
    return executeHostCommand(command) && requestHostStatus(status) && status.compare(0, 2, "OK") == 0;
}

bool fetchHostPalette(std::vector<uint8_t>& block) {
    block.clear();
    return commandSucceeds("SELECTCOLORLAYER") && commandSucceeds("SENDPALETTE") &&
           readClipboardDib(nullptr, block);
}

bool sendHostPalette(const std::vector<uint8_t>& block, std::string& status) {
    status.clear();
    return putClipboardDib(nullptr, block) && commandSucceeds("SELECTCOLORLAYER") &&
           executeHostCommand("RECEIVEPALETTE") && requestHostStatus(status);
}
