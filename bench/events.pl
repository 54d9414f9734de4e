# Event workload for Perl's XML::Parser: empty handlers.
#
#   perl events.pl FILE three|all
#
# three: Start, End and Char; all: every handler XML::Parser offers.
# Prints "parse=SECONDS" (processor time of the parse alone).
use strict;
use warnings;
use XML::Parser;
use POSIX ();

my ($path, $mode) = @ARGV;
$mode //= 'three';
open(my $fh, '<:raw', $path) or die "$path: $!";
my $text = do { local $/; <$fh> };
close $fh;

sub none { }
my @three = (Start => \&none, End => \&none, Char => \&none);
my @all = (@three, Proc => \&none, Comment => \&none, CdataStart => \&none,
           CdataEnd => \&none, Default => \&none, Unparsed => \&none,
           Notation => \&none, ExternEnt => sub { '' }, ExternEntFin => \&none,
           Entity => \&none, Element => \&none, Attlist => \&none,
           Doctype => \&none, DoctypeFin => \&none, XMLDecl => \&none);

sub cpu { return POSIX::clock() / 1e6; }

my $start = cpu();
my $parser = XML::Parser->new(Handlers => { $mode eq 'all' ? @all : @three });
$parser->parse($text);
my $elapsed = cpu() - $start;
printf "parse=%.6f\n", $elapsed;
