// The host's rules for who may talk to it: its own pages in the user's
// browser, and nobody else who can reach loopback.
#pragma once

#include <string>
#include <string_view>

// 128 random bits as 32 lower-case hex digits; empty when the system has no randomness.
std::string MakeSecret();
// Compares without leaking through timing where the texts first differ.
bool SameSecret(std::string_view a, std::string_view b);
// The Host header names this server on loopback ("127.0.0.1:PORT" or
// "localhost:PORT"), so a rebound DNS name cannot reach it.
bool IsOwnHost(std::string_view host, int port);
// The Origin header of a state-changing request names this server.
bool IsOwnOrigin(std::string_view origin, int port);
// The value of cookie `name` in a Cookie header; empty when absent.
std::string FindCookie(std::string_view header, std::string_view name);

// What every answer carries: only the host's own scripts, styles and images;
// inline style attributes of the pages' fixed fragments are allowed, inline
// scripts and event-handler attributes are not.
constexpr const char* kContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; style-src-attr 'unsafe-inline'; "
    "img-src 'self'; connect-src 'self'; form-action 'none'; frame-ancestors 'none'; base-uri 'none'";
