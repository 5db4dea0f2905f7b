# DNS lookup benchmark: sequential MX lookups with TNetDNSResolver against a
# local dnsmasq, driven (and compared with dig -f) by dns_lookups.sh.
add_executable(dns_lookups_bench ${CMAKE_CURRENT_LIST_DIR}/dns_lookups.cpp)
target_link_libraries(dns_lookups_bench PRIVATE quillet_dns)
set_target_properties(dns_lookups_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
