#include "net/delete.h"

namespace corvane {

std::string DeleteRequestBody(std::string_view name, std::string_view deleteKey, std::string_view uploadKey) {
  MultipartBody body;
  AddField(body, "cv", kClientVersion);
  AddField(body, "name", name);
  AddField(body, "deletekey", deleteKey);
  if (!uploadKey.empty()) AddField(body, "key", uploadKey);
  return FinishBody(body);
}

DeleteResult DeleteFromService(const ServiceAddress& service, std::string_view name, std::string_view deleteKey) {
  const bool sameService = LinkPrefixOf(service) == ServiceLinkPrefix();
  const std::string_view uploadKey = sameService ? std::string_view(Service().uploadKey) : std::string_view();
  Exchange exchange = PostMultipart(service, kDeletePath, DeleteRequestBody(name, deleteKey, uploadKey));
  DeleteAnswer answer = DeleteAnswer::Failed;
  if (exchange.stage == ExchangeStage::Done) answer = DeleteAnswer::Deleted;
  else if (exchange.stage == ExchangeStage::Status && exchange.status == 404) answer = DeleteAnswer::Gone;
  return {answer, std::move(exchange)};
}

std::u16string ExchangeFailureReason(const Exchange& exchange) {
  switch (exchange.stage) {
    case ExchangeStage::Done: return u"The service answered.";
    case ExchangeStage::Open: return u"The network functions could not be started.";
    case ExchangeStage::Connect:
    case ExchangeStage::OpenRequest: return u"The service's address could not be used.";
    case ExchangeStage::Send: return u"The request could not be sent: the service could not be reached.";
    case ExchangeStage::Status: {
      if (exchange.status <= 0) return u"The service sent no status.";
      std::u16string text = u"The service answered ";
      std::u16string digits;
      for (long v = exchange.status; v > 0 && digits.size() < 10; v /= 10)
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + v % 10));
      return text + digits + u".";
    }
    case ExchangeStage::Reply: return u"The service's reply did not arrive whole.";
  }
  return {};
}

}  // namespace corvane
