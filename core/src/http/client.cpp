#include "kestro/http/client.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <mutex>

#include "kestro/http/status.hpp"
#include "kestro/utils/ascii.hpp"
#include "kestro/utils/log.hpp"

namespace kestro::http {

namespace {

constexpr std::string_view kLogTarget = "kestro_core::http";
constexpr std::string_view kUserAgent = "kestro/0.2.1";
// A paused transfer holds at most this much before `next_piece` takes it.
constexpr std::size_t kPendingLimit = 64 * 1024;

bool is_token_char(char c) {
  return is_ascii_alnum(c) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}
bool valid_header_name(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), is_token_char);
}
bool valid_header_value(std::string_view value) {
  return std::none_of(value.begin(), value.end(), [](char c) { return c != '\t' && is_ascii_control(c); });
}

void global_init_once() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// One transfer slot: a multi handle (which keeps the connection cache) and
// its easy handle. A slot serves one request at a time and goes back to its
// client's pool afterwards, so connections are reused.
struct Slot {
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  Slot() {
    global_init_once();
    multi = curl_multi_init();
    easy = curl_easy_init();
  }
  ~Slot() {
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
  }
  Slot(const Slot&) = delete;
  Slot& operator=(const Slot&) = delete;
};

}  // namespace

struct ClientState {
  ClientOptions options;
  mutable std::mutex mutex;
  mutable std::vector<std::unique_ptr<Slot>> idle;

  std::unique_ptr<Slot> take() const {
    {
      std::lock_guard lock(mutex);
      if (!idle.empty()) {
        auto slot = std::move(idle.back());
        idle.pop_back();
        return slot;
      }
    }
    return std::make_unique<Slot>();
  }
  void give_back(std::unique_ptr<Slot> slot) const {
    std::lock_guard lock(mutex);
    idle.push_back(std::move(slot));
  }
};

std::string_view method_name(Method method) { return method == Method::Head ? "HEAD" : "GET"; }

ClientOptions apply_client_defaults(ClientOptions options) {
  std::erase_if(options.default_headers, [](const Header& h) { return eq_ignore_ascii_case(h.name, "User-Agent"); });
  options.default_headers.push_back({"User-Agent", std::string(kUserAgent)});
  return options;
}

Client::Client(ClientOptions options) {
  auto state = std::make_shared<ClientState>();
  state->options = std::move(options);
  state_ = std::move(state);
}

const ClientOptions& Client::options() const { return state_->options; }

PreparedRequest Client::request(Method method, url::Url url) const {
  return PreparedRequest(*this, Request{method, std::move(url), {}});
}

PreparedRequest::PreparedRequest(Client client, std::expected<Request, HttpError> request)
    : state_(std::move(client.state_)), request_(std::move(request)) {}

PreparedRequest& PreparedRequest::header(std::string name, std::string value, bool sensitive) {
  if (!request_) return *this;
  if (!valid_header_name(name) || !valid_header_value(value)) {
    request_ = std::unexpected(HttpError::InvalidHeader{std::move(name)});
    return *this;
  }
  request_->headers.push_back({std::move(name), std::move(value), sensitive});
  return *this;
}

std::pair<Client, std::expected<Request, HttpError>> PreparedRequest::split() && {
  return {Client(std::move(state_)), std::move(request_)};
}

PreparedRequest PreparedRequest::join(Client client, std::expected<Request, HttpError> request) {
  return PreparedRequest(std::move(client), std::move(request));
}

struct Response::Transfer {
  std::shared_ptr<const ClientState> client;
  std::unique_ptr<Slot> slot;
  curl_slist* header_list = nullptr;
  char error_buffer[CURL_ERROR_SIZE] = {};
  // The URL as errors show it: userinfo redacted.
  std::string request_url;
  Method method = Method::Get;

  // The head of the answer being received; replaced at each status line,
  // so after redirects it is the final answer's.
  std::uint16_t status = 0;
  std::vector<Header> headers;
  bool saw_location = false;
  bool head_done = false;
  url::Url final_url;

  std::string pending;  // body bytes not yet handed out
  std::string piece;    // the bytes of the last piece handed out
  bool paused = false;
  bool done = false;
  CURLcode result = CURLE_OK;

  // Set once a connection is ready for the request (a new or a reused one);
  // the stall clock runs only from then on.
  bool connected = false;
  bool stalled = false;
  std::chrono::steady_clock::time_point last_byte;

  ~Transfer() {
    if (slot) {
      if (!done) {
        // A short answer has usually arrived whole; letting the library see
        // its end keeps the connection for the next request.
        int running = 0;
        if (paused) curl_easy_pause(slot->easy, CURLPAUSE_CONT);
        curl_multi_perform(slot->multi, &running);
      }
      curl_multi_remove_handle(slot->multi, slot->easy);
      curl_easy_reset(slot->easy);
      client->give_back(std::move(slot));
    }
    if (header_list) curl_slist_free_all(header_list);
  }

  bool following() const { return client->options.redirects == RedirectPolicy::Follow; }

  static std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    t->last_byte = std::chrono::steady_clock::now();
    std::string_view line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
      t->headers.clear();
      t->saw_location = false;
      auto space = line.find(' ');
      unsigned code = 0;
      if (space != std::string_view::npos)
        for (char c : line.substr(space + 1, 3)) code = code * 10 + static_cast<unsigned>(is_ascii_digit(c) ? c - '0' : 0);
      t->status = static_cast<std::uint16_t>(code);
    } else if (line.empty()) {
      // The end of one head: final unless an interim answer or a redirect
      // that the library is about to follow.
      bool interim = t->status < 200;  // an interim answer, or no status line yet
      bool followed = t->following() && is_redirect(t->status) && t->saw_location;
      if (!interim && !followed) t->head_done = true;
    } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && is_ascii_blank(value.front())) value.remove_prefix(1);
      while (!value.empty() && is_ascii_blank(value.back())) value.remove_suffix(1);
      t->headers.push_back({std::string(line.substr(0, colon)), std::string(value)});
      if (eq_ignore_ascii_case(t->headers.back().name, "Location")) t->saw_location = true;
    }
    return size * count;
  }

  static std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    if (t->pending.size() >= kPendingLimit) {
      t->paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    t->last_byte = std::chrono::steady_clock::now();
    t->head_done = true;
    t->pending.append(data, size * count);
    return size * count;
  }

  static int on_connected(void* user, char*, char*, int, int) {
    auto* t = static_cast<Transfer*>(user);
    t->connected = true;
    t->last_byte = std::chrono::steady_clock::now();
    return CURL_PREREQFUNC_OK;
  }

  const ClientOptions& options() const { return client->options; }

  HttpError error_of(CURLcode code) const {
    if (stalled) return HttpError::Stalled{request_url, static_cast<std::int64_t>(options().stall_timeout.count())};
    std::string detail = error_buffer[0] ? std::string(error_buffer) : std::string(curl_easy_strerror(code));
    // A time-out before any connection was ready is the connection limit's
    // unless the limit on the whole request is the shorter one.
    const auto total = options().total_timeout;
    if (code == CURLE_OPERATION_TIMEDOUT && !connected && (!total || options().connect_timeout < *total))
      return HttpError::Connect{request_url, std::move(detail)};
    switch (code) {
      case CURLE_COULDNT_CONNECT:
      case CURLE_COULDNT_RESOLVE_HOST:
      case CURLE_COULDNT_RESOLVE_PROXY:
        return HttpError::Connect{request_url, std::move(detail)};
      case CURLE_OPERATION_TIMEDOUT: {
        auto limit = client->options.total_timeout;
        return HttpError::Timeout{request_url, limit ? static_cast<std::int64_t>(limit->count()) : 0};
      }
      case CURLE_SSL_CONNECT_ERROR:
      case CURLE_PEER_FAILED_VERIFICATION:
      case CURLE_SSL_CERTPROBLEM:
      case CURLE_SSL_CIPHER:
      case CURLE_SSL_CACERT_BADFILE:
        return HttpError::Tls{request_url, std::move(detail)};
      default:
        return HttpError::Transfer{request_url, std::move(detail)};
    }
  }

  // Gives up on a connected transfer that has received nothing for the
  // stall limit; otherwise the longest wait, in ms, before looking again.
  int stall_check() {
    constexpr int kMaxWait = 1000;
    if (!connected) return kMaxWait;
    const auto limit = options().stall_timeout;
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - last_byte);
    if (waited >= limit) {
      stalled = true;
      done = true;
      result = CURLE_OPERATION_TIMEDOUT;
      return 0;
    }
    return static_cast<int>(std::min<std::int64_t>(kMaxWait, (limit - waited).count() + 1));
  }

  // Drives the transfer until `ready()` holds or it ends. The stall clock
  // starts afresh at each call: time the caller spends between pieces is no
  // silence of the server's.
  template <typename Ready>
  void drive(Ready ready) {
    last_byte = std::chrono::steady_clock::now();
    while (!done && !ready()) {
      if (paused && pending.empty()) {
        paused = false;
        curl_easy_pause(slot->easy, CURLPAUSE_CONT);
        if (ready()) break;
      }
      int running = 0;
      CURLMcode mc = curl_multi_perform(slot->multi, &running);
      int left = 0;
      while (CURLMsg* msg = curl_multi_info_read(slot->multi, &left)) {
        if (msg->msg == CURLMSG_DONE) {
          done = true;
          result = msg->data.result;
        }
      }
      if (mc != CURLM_OK && !done) {
        done = true;
        result = CURLE_RECV_ERROR;
      }
      if (done || ready()) break;
      if (paused) continue;
      const int wait = stall_check();
      if (done) break;
      curl_multi_poll(slot->multi, nullptr, 0, wait, nullptr);
    }
  }
};

std::expected<Response, HttpError> PreparedRequest::send() && {
  if (!request_) return std::unexpected(std::move(request_.error()));
  Request& req = *request_;
  auto t = std::make_unique<Response::Transfer>();
  t->client = state_;
  t->slot = state_->take();
  t->request_url = url::display_url(req.url);
  t->method = req.method;
  t->final_url = req.url;
  const ClientOptions& opts = state_->options;
  CURL* easy = t->slot->easy;
  if (!t->slot->multi || !easy) return std::unexpected(HttpError::Setup{"could not create a transfer"});

  if (log::enabled(log::Level::Trace, kLogTarget)) {
    std::string shown;
    for (const Header& h : req.headers) shown += fmt::format("\n{}: {}", h.name, h.sensitive ? "<sensitive>" : h.value);
    log::trace(kLogTarget, "{} `{}`{}", method_name(req.method), t->request_url, shown);
  }

  for (const Header& h : opts.default_headers) {
    bool overridden = std::any_of(req.headers.begin(), req.headers.end(),
                                  [&](const Header& r) { return eq_ignore_ascii_case(r.name, h.name); });
    if (!overridden) t->header_list = curl_slist_append(t->header_list, (h.name + ": " + h.value).c_str());
  }
  for (const Header& h : req.headers)
    t->header_list = curl_slist_append(t->header_list, (h.name + ": " + h.value).c_str());

  CURLcode rc = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    if (rc == CURLE_OK) rc = curl_easy_setopt(easy, option, value);
  };
  set(CURLOPT_URL, req.url.href().c_str());
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_ERRORBUFFER, t->error_buffer);
  set(CURLOPT_HTTPHEADER, t->header_list);
  if (req.method == Method::Head)
    set(CURLOPT_NOBODY, 1L);
  else
    set(CURLOPT_HTTPGET, 1L);
  set(CURLOPT_FOLLOWLOCATION, opts.redirects == RedirectPolicy::Follow ? 1L : 0L);
  set(CURLOPT_MAXREDIRS, static_cast<long>(opts.max_redirects));
  // Credentials stay with the host, port and scheme they were chosen for.
  set(CURLOPT_UNRESTRICTED_AUTH, 0L);
  set(CURLOPT_TIMEOUT_MS, opts.total_timeout ? static_cast<long>(opts.total_timeout->count()) : 0L);
  set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(opts.connect_timeout.count()));
  set(CURLOPT_PREREQFUNCTION, &Response::Transfer::on_connected);
  set(CURLOPT_PREREQDATA, t.get());
  set(CURLOPT_HEADERFUNCTION, &Response::Transfer::on_header);
  set(CURLOPT_HEADERDATA, t.get());
  set(CURLOPT_WRITEFUNCTION, &Response::Transfer::on_body);
  set(CURLOPT_WRITEDATA, t.get());
  if (rc != CURLE_OK) return std::unexpected(HttpError::Setup{curl_easy_strerror(rc)});
  if (curl_multi_add_handle(t->slot->multi, easy) != CURLM_OK)
    return std::unexpected(HttpError::Setup{"could not start the transfer"});

  Response::Transfer* raw = t.get();
  raw->drive([raw] { return raw->head_done; });
  if (raw->done && raw->result != CURLE_OK && !raw->head_done) return std::unexpected(raw->error_of(raw->result));
  long code = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
  if (code > 0) raw->status = static_cast<std::uint16_t>(code);
  char* effective = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) {
    if (auto parsed = url::Url::parse(effective)) raw->final_url = std::move(*parsed);
  }
  return Response(std::move(t));
}

Response::Response(std::unique_ptr<Transfer> transfer) : t_(std::move(transfer)) {}
Response::Response(Response&&) noexcept = default;
Response& Response::operator=(Response&&) noexcept = default;
Response::~Response() = default;

std::uint16_t Response::status() const { return t_->status; }
const url::Url& Response::final_url() const { return t_->final_url; }
const std::vector<Header>& Response::headers() const { return t_->headers; }

std::optional<std::string_view> Response::header(std::string_view name) const {
  for (const Header& h : t_->headers)
    if (eq_ignore_ascii_case(h.name, name)) return std::string_view(h.value);
  return std::nullopt;
}

std::expected<BodyPiece, HttpError> Response::next_piece() {
  Transfer& t = *t_;
  t.drive([&t] { return !t.pending.empty(); });
  if (!t.pending.empty()) {
    t.piece.swap(t.pending);
    t.pending.clear();
    return BodyPiece{t.piece, false};
  }
  if (t.result != CURLE_OK) return std::unexpected(t.error_of(t.result));
  return BodyPiece{{}, true};
}

std::expected<std::string, HttpError> Response::read_body(std::size_t limit) {
  auto too_large = [&] { return std::unexpected(HttpError::BodyTooLarge{url::display_url(t_->final_url), limit}); };
  if (auto declared = header("Content-Length"); declared && t_->method == Method::Get) {
    std::uint64_t length = 0;
    auto [end, ec] = std::from_chars(declared->data(), declared->data() + declared->size(), length);
    if (ec == std::errc() && end == declared->data() + declared->size() && length > limit) return too_large();
  }
  std::string body;
  for (;;) {
    auto piece = next_piece();
    if (!piece) return std::unexpected(std::move(piece.error()));
    if (piece->end) return body;
    if (piece->bytes.size() > limit - body.size()) return too_large();
    body.append(piece->bytes);
  }
}

}  // namespace kestro::http
