#include "midi/rtmidi/JackClient.h"

#include <jack/jack.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <thread>

namespace velnor {

namespace {

/// Every open client of ours, for closing those of a gone server.
std::mutex g_clientsMutex;
std::vector<JackClient*> g_clients;

/// The JACK library's own messages go nowhere: without this it prints to
/// the terminal that it cannot connect whenever no server answers.
void DiscardJackMessage(const char*) {}

std::atomic<bool> g_boundedBusy{false};

}  // namespace

JackClient::JackClient(jack_client_t* client) : m_client(client) {
    std::lock_guard lock(g_clientsMutex);
    g_clients.push_back(this);
}

JackClient::~JackClient() {
    {
        std::lock_guard lock(g_clientsMutex);
        g_clients.erase(std::remove(g_clients.begin(), g_clients.end(), this), g_clients.end());
    }
    Close();
}

std::shared_ptr<JackClient> JackClient::Open(const std::string& name) {
    static std::once_flag silenced;
    std::call_once(silenced, [] {
        jack_set_error_function(&DiscardJackMessage);
        jack_set_info_function(&DiscardJackMessage);
    });
    CloseGoneJackClients();
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (client == nullptr) return nullptr;
    std::shared_ptr<JackClient> self(new JackClient(client));
    jack_on_info_shutdown(
        client, [](jack_status_t, const char*, void* arg) { OnShutdown(arg); }, self.get());
    return self;
}

void JackClient::OnShutdown(void* self) {
    // JACK's thread: only the flag. The client is closed by the next opening.
    static_cast<JackClient*>(self)->m_gone.store(true, std::memory_order_release);
}

bool JackClient::With(const std::function<void(jack_client_t*)>& use) {
    std::lock_guard lock(m_mutex);
    if (m_client == nullptr || Gone()) return false;
    use(m_client);
    return true;
}

void JackClient::Close() {
    std::lock_guard lock(m_mutex);
    if (m_client == nullptr) return;
    jack_client_close(m_client);
    m_client = nullptr;
}

void CloseGoneJackClients() {
    std::lock_guard lock(g_clientsMutex);
    for (JackClient* client : g_clients) {
        if (client->Gone()) client->Close();
    }
}

bool OpenJackMidiPort(const std::string& clientName, const std::string& portName, bool input,
                      std::shared_ptr<JackClient>& client, jack_port_t*& port, std::string& error) {
    client = JackClient::Open(clientName);
    if (!client) {
        error = "The JACK server cannot be reached";
        return false;
    }
    port = jack_port_register(client->Get(), portName.c_str(), JACK_DEFAULT_MIDI_TYPE,
                              input ? JackPortIsInput : JackPortIsOutput, 0);
    if (port == nullptr) {
        error = "JACK refused the port " + portName;
        return false;
    }
    return true;
}

bool StartJackClient(JackClient& client, int (*process)(std::uint32_t, void*), void* arg,
                     const std::string& clientName, std::string& error) {
    if (jack_set_process_callback(client.Get(), process, arg) != 0 ||
        jack_activate(client.Get()) != 0) {
        error = "JACK would not start the client " + clientName;
        return false;
    }
    return true;
}

bool ConnectJackPort(JackClient& client, jack_port_t* port, const std::string& other,
                     bool portSends) {
    int result = -1;
    if (port != nullptr) {
        // The port's name only while the client is sure to stay open.
        client.With([&](jack_client_t* c) {
            const char* ours = jack_port_name(port);
            result = portSends ? jack_connect(c, ours, other.c_str())
                               : jack_connect(c, other.c_str(), ours);
        });
    }
    return result == 0 || result == EEXIST;
}

bool RunBounded(std::function<void()> work, std::chrono::milliseconds timeout) {
    if (g_boundedBusy.exchange(true)) return false;  // an earlier one still waits for JACK
    struct State {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    auto state = std::make_shared<State>();
    std::thread([state, work = std::move(work)] {
        work();
        g_boundedBusy.store(false);
        std::lock_guard lock(state->mutex);
        state->finished = true;
        state->done.notify_all();
    }).detach();
    std::unique_lock lock(state->mutex);
    return state->done.wait_for(lock, timeout, [&] { return state->finished; });
}

std::vector<std::string> ListJackMidiPorts(bool senders) {
    auto names = std::make_shared<std::vector<std::string>>();
    const bool answered = RunBounded(
        [names, senders] {
            std::shared_ptr<JackClient> client = JackClient::Open("Velnor");
            if (!client) return;
            client->With([&](jack_client_t* jack) {
                const char** ports = jack_get_ports(jack, nullptr, JACK_DEFAULT_MIDI_TYPE,
                                                    senders ? JackPortIsOutput : JackPortIsInput);
                if (ports == nullptr) return;
                for (const char** port = ports; *port != nullptr; ++port)
                    names->emplace_back(*port);
                jack_free(ports);
            });
        },
        kJackAnswerBound);
    return answered ? *names : std::vector<std::string>{};
}

}  // namespace velnor
