"""The demo of the whole chain and its end-to-end test (README.md here)."""
