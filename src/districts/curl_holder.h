// libcurl's easy handle and the request header list set on it, owned together (cpr's
// CurlHolder is the model). Only the libcurl transport includes this.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace telvora::districts {

class CurlHolder {
  public:
    // The handle is null when libcurl can give none.
    CurlHolder() {
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
        handle_.reset(curl_easy_init());
    }

    CURL* Handle() const { return handle_.get(); }

    // Makes `lines` the request's header list. The list before it is freed only once the
    // handle no longer points at it; on failure the handle keeps the old one.
    CURLcode SetHeaders(const std::vector<std::string>& lines) {
        List list;
        for (const std::string& line : lines) {
            curl_slist* longer = curl_slist_append(list.get(), line.c_str());
            if (longer == nullptr) {
                return CURLE_OUT_OF_MEMORY;
            }
            list.release();
            list.reset(longer);
        }
        const CURLcode code = curl_easy_setopt(handle_.get(), CURLOPT_HTTPHEADER, list.get());
        if (code == CURLE_OK) {
            headers_ = std::move(list);
        }
        return code;
    }

  private:
    struct FreeList {
        void operator()(curl_slist* list) const { curl_slist_free_all(list); }
    };
    struct Cleanup {
        void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
    };
    using List = std::unique_ptr<curl_slist, FreeList>;

    // Declared first, so freed after the handle that points at it.
    List headers_;
    std::unique_ptr<CURL, Cleanup> handle_;
};

}  // namespace telvora::districts
